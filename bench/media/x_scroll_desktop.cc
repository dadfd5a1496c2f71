// Moving content for the benchmarks' real-desktop runs: scrolls a page of text-like
// blocks over the whole root window of the X display, like a person scrolling a long
// document, until killed or for --seconds. Deterministic (fixed seed), so runs of
// different builds see the same pictures.
//
//   x_scroll_desktop [--fps F] [--step PIXELS] [--seconds S]
//
// e.g. Xvfb :7 -screen 0 2560x1440x24 & DISPLAY=:7 x_scroll_desktop &
//      DISPLAY=:7 pipeline_bench --real
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

namespace {

int Arg(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

// Lines of "words" (short dark blocks) on a light page, with a coloured picture now
// and then: a page x264 must really work on when it moves.
void DrawPage(Display* dpy, Pixmap page, GC gc, int width, int height) {
  std::mt19937 rng(20261210);
  XSetForeground(dpy, gc, 0xF4F4F0);
  XFillRectangle(dpy, page, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  int y = 12;
  while (y + 40 < height) {
    if (rng() % 20 == 0) {
      const int w = width / 3 + static_cast<int>(rng() % static_cast<unsigned>(width / 3));
      const int h = 120 + static_cast<int>(rng() % 160);
      for (int band = 0; band < h; band += 8) {
        XSetForeground(dpy, gc, rng() & 0xFFFFFF);
        XFillRectangle(dpy, page, gc, 40, y + band, static_cast<unsigned>(w), 8);
      }
      y += h + 16;
      continue;
    }
    int x = 40;
    const int line_end = width - 40 - static_cast<int>(rng() % static_cast<unsigned>(width / 4));
    while (x < line_end) {
      const int word = 12 + static_cast<int>(rng() % 70);
      XSetForeground(dpy, gc, (rng() % 5 == 0) ? 0x2050A0 : 0x202020);
      for (int c = 0; c + 6 <= word; c += 8) {
        const int glyph_h = 8 + static_cast<int>(rng() % 6);
        XFillRectangle(dpy, page, gc, x + c, y + 14 - glyph_h, 6, static_cast<unsigned>(glyph_h));
      }
      x += word + 9;
    }
    y += 22;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int fps = Arg(argc, argv, "--fps", 60);
  const int step = Arg(argc, argv, "--step", 6);
  const int seconds = Arg(argc, argv, "--seconds", 0);
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "x_scroll_desktop: cannot open the display\n");
    return 1;
  }
  const int screen = DefaultScreen(dpy);
  const Window root = DefaultRootWindow(dpy);
  const int width = DisplayWidth(dpy, screen);
  const int height = DisplayHeight(dpy, screen);
  // Twice the screen's height, the second half a copy of the first, so every scroll
  // position shows a whole screen of page.
  const int page_height = height * 2;
  Pixmap page = XCreatePixmap(dpy, root, static_cast<unsigned>(width),
                              static_cast<unsigned>(page_height), static_cast<unsigned>(DefaultDepth(dpy, screen)));
  GC gc = XCreateGC(dpy, root, 0, nullptr);
  DrawPage(dpy, page, gc, width, height);
  XCopyArea(dpy, page, page, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, height);
  XSetSubwindowMode(dpy, gc, IncludeInferiors);

  const auto period = std::chrono::microseconds(1000000 / (fps > 0 ? fps : 1));
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  int offset = 0;
  while (seconds <= 0 || std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
    XCopyArea(dpy, page, root, gc, 0, offset, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0);
    XSync(dpy, False);
    offset = (offset + step) % height;
    next += period;
    std::this_thread::sleep_until(next);
  }
  XFreeGC(dpy, gc);
  XFreePixmap(dpy, page);
  XCloseDisplay(dpy);
  return 0;
}
