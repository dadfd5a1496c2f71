#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/screen/screen_system.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"
#include "platform/screen/x11_screen_system.h"

#include <X11/Xlib.h>

namespace platform::screen {
namespace {

TEST(SimDesktopTest, AnimatedContentMovesDeterministicallyPerCapture) {
  auto a = std::make_shared<SimDesktop>();
  auto b = std::make_shared<SimDesktop>();
  SimScreenSystem sa(a), sb(b);
  auto da = sa.DuplicateOutput(0);
  auto db = sb.DuplicateOutput(0);
  ASSERT_TRUE(da && db);
  auto fa = Surface::Create(640, 360), fb = Surface::Create(640, 360);
  std::vector<uint8_t> first;
  for (int i = 0; i < 3; ++i) {
    FrameInfo ia, ib;
    ASSERT_EQ(da->AcquireNextFrame(100, &ia), AcquireResult::kNewFrame);
    ASSERT_EQ(db->AcquireNextFrame(100, &ib), AcquireResult::kNewFrame);
    ASSERT_TRUE(da->CopyFrame(fa.get()));
    ASSERT_TRUE(db->CopyFrame(fb.get()));
    da->ReleaseFrame();
    db->ReleaseFrame();
    EXPECT_EQ(ia.pointer_x, ib.pointer_x);
    EXPECT_EQ(0, std::memcmp(fa->data(), fb->data(), static_cast<size_t>(fa->stride()) * 360));
    std::vector<uint8_t> now(fa->data(), fa->data() + static_cast<size_t>(fa->stride()) * 360);
    if (i == 0) first = now; else EXPECT_NE(first, now);  // the box moved
  }
}

TEST(SimDesktopTest, ScrollingChangesTheWholePicture) {
  auto d = std::make_shared<SimDesktop>();
  d->SetScrolling(true);
  std::vector<uint8_t> before(640 * 4), after(640 * 4);
  d->ReadPixels(Rect{0, 359, 640, 1}, before.data(), 640 * 4);  // the bottom row: far from the box
  d->Advance();
  d->ReadPixels(Rect{0, 359, 640, 1}, after.data(), 640 * 4);
  EXPECT_NE(before, after);
}

TEST(SimDesktopTest, StillDesktopTimesOutAndLayoutChangeLosesAccess) {
  auto d = std::make_shared<SimDesktop>();
  d->SetAnimated(false);
  SimScreenSystem system(d);
  auto dup = system.DuplicateOutput(0);
  FrameInfo info;
  ASSERT_EQ(dup->AcquireNextFrame(10, &info), AcquireResult::kNewFrame);  // first image
  EXPECT_EQ(dup->AcquireNextFrame(10, &info), AcquireResult::kInvalidCall);  // not released
  dup->ReleaseFrame();
  EXPECT_EQ(dup->AcquireNextFrame(10, &info), AcquireResult::kTimeout);
  EXPECT_FALSE(system.TakeDisplayChange());
  d->SetMonitors({Monitor{Rect{0, 0, 100, 50}, true, "X"}});
  EXPECT_TRUE(system.TakeDisplayChange());
  EXPECT_FALSE(system.TakeDisplayChange());
  EXPECT_EQ(dup->AcquireNextFrame(10, &info), AcquireResult::kAccessLost);
  EXPECT_EQ(system.DuplicateOutput(1), nullptr);
  auto again = system.DuplicateOutput(0);
  ASSERT_EQ(again->AcquireNextFrame(10, &info), AcquireResult::kNewFrame);
  EXPECT_EQ(info.width, 100);
}

TEST(SimDesktopTest, FaultsAreInjectedInOrder) {
  auto d = std::make_shared<SimDesktop>();
  SimScreenSystem system(d);
  auto dup = system.DuplicateOutput(0);
  d->InjectAcquireResults({AcquireResult::kDeviceRemoved, AcquireResult::kTimeout});
  FrameInfo info;
  EXPECT_EQ(dup->AcquireNextFrame(5, &info), AcquireResult::kDeviceRemoved);
  EXPECT_EQ(dup->AcquireNextFrame(5, &info), AcquireResult::kTimeout);
  EXPECT_EQ(dup->AcquireNextFrame(5, &info), AcquireResult::kNewFrame);
  d->SetDuplicationAvailable(false);
  d->SetBlitAvailable(false);
  EXPECT_EQ(system.DuplicateOutput(0), nullptr);
  EXPECT_EQ(system.CreateBlitter(), nullptr);
}

// A surface over memory a back-end owns: the backing, not the surface, frees it,
// when the last holder lets the surface go; nonsense is refused.
TEST(SurfaceTest, WrappedMemoryIsReleasedThroughItsBackingOnly) {
  struct CountingBacking : Surface::Backing {
    explicit CountingBacking(int* released) : released(released) {}
    ~CountingBacking() override { ++*released; }
    int* released;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(64 * 8);
  };
  int released = 0;
  auto backing = std::make_unique<CountingBacking>(&released);
  uint8_t* pixels = backing->pixels.data();
  auto surface = Surface::Wrap(16, 8, 64, pixels, std::move(backing));
  ASSERT_TRUE(surface);
  EXPECT_EQ(surface->data(), pixels);
  EXPECT_EQ(surface->stride(), 64);
  EXPECT_NE(dynamic_cast<CountingBacking*>(surface->backing()), nullptr);
  auto holder = surface;
  surface.reset();
  EXPECT_EQ(released, 0);
  holder.reset();
  EXPECT_EQ(released, 1);

  uint8_t memory[64 * 8] = {};
  EXPECT_EQ(Surface::Wrap(16, 8, 32, memory, std::make_unique<CountingBacking>(&released)), nullptr);
  EXPECT_EQ(Surface::Wrap(0, 8, 64, memory, std::make_unique<CountingBacking>(&released)), nullptr);
  EXPECT_EQ(Surface::Wrap(16, 8, 64, nullptr, std::make_unique<CountingBacking>(&released)), nullptr);
  EXPECT_EQ(Surface::Wrap(16, 8, 64, memory, nullptr), nullptr);
  EXPECT_EQ(released, 4);  // a refused backing is let go at once
  EXPECT_EQ(Surface::Create(16, 8)->backing(), nullptr);
}

// Paints a rectangle on the X root window in its own connection.
void PaintRoot(int x, int y, int w, int h, unsigned long rgb) {
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_NE(dpy, nullptr);
  Window root = DefaultRootWindow(dpy);
  GC gc = XCreateGC(dpy, root, 0, nullptr);
  XSetSubwindowMode(dpy, gc, IncludeInferiors);
  XSetForeground(dpy, gc, rgb);
  XFillRectangle(dpy, root, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(dpy, gc);
  XSync(dpy, False);
  XCloseDisplay(dpy);
}

uint32_t PixelAt(const Surface& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.data() + y * s.stride() + x * 4, 4);
  return v & 0x00FFFFFFu;
}

// Runs with a display only (ctest runs it under xvfb-run when that is installed).
TEST(X11ScreenSystemTest, FailsCleanlyWithoutDisplayOrCapturesWithOne) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    EXPECT_EQ(X11ScreenSystem::Open(), nullptr);
    GTEST_SKIP() << "no DISPLAY: checked only that the X11 back-end refuses cleanly";
  }
  auto system = X11ScreenSystem::Open();
  if (!system) GTEST_SKIP() << "DISPLAY set but not usable as a 32-bit BGRA screen";
  auto monitors = system->EnumerateMonitors();
  ASSERT_FALSE(monitors.empty());
  const Rect r = monitors[0].rect;
  ASSERT_GE(r.width, 64);
  ASSERT_GE(r.height, 64);

  PaintRoot(0, 0, 32, 32, 0x336699);
  auto blitter = system->CreateBlitter();
  ASSERT_TRUE(blitter);
  auto surface = system->CreateSurface(r.width, r.height);
  ASSERT_TRUE(blitter->Blit(r, surface.get()));
  EXPECT_EQ(PixelAt(*surface, 5, 5), 0x336699u);
  // A rectangle that leaves the screen fails that call only.
  auto big = Surface::Create(r.width + 10, r.height);
  EXPECT_FALSE(blitter->Blit(Rect{r.left, r.top, r.width + 10, r.height}, big.get()));

  auto dup = system->DuplicateOutput(0);
  if (!dup) GTEST_SKIP() << "no XShm/XDamage on this display";
  FrameInfo info;
  ASSERT_EQ(dup->AcquireNextFrame(100, &info), AcquireResult::kNewFrame);  // first image
  EXPECT_EQ(info.width, r.width);
  ASSERT_TRUE(dup->CopyFrame(surface.get()));
  dup->ReleaseFrame();
  EXPECT_EQ(PixelAt(*surface, 5, 5), 0x336699u);
  EXPECT_EQ(dup->AcquireNextFrame(50, &info), AcquireResult::kTimeout);  // no damage
  PaintRoot(40, 40, 8, 8, 0xCC2211);
  ASSERT_EQ(dup->AcquireNextFrame(1000, &info), AcquireResult::kNewFrame);
  ASSERT_TRUE(dup->CopyFrame(surface.get()));
  dup->ReleaseFrame();
  EXPECT_EQ(PixelAt(*surface, 42, 42), 0xCC2211u);
  EXPECT_EQ(system->DuplicateOutput(static_cast<int>(monitors.size())), nullptr);
}

// SysV segments this process created that still exist (attached or marked for removal).
int OwnSegments() {
  std::ifstream shm("/proc/sysvipc/shm");
  std::string line;
  std::getline(shm, line);  // column titles
  int count = 0;
  while (std::getline(shm, line)) {
    std::istringstream fields(line);
    long key = 0, id = 0, perms = 0, size = 0, cpid = 0;
    if (fields >> key >> id >> perms >> size >> cpid && cpid == static_cast<long>(getpid())) ++count;
  }
  return count;
}

// The server detaches a segment when it handles our request, a moment after we sent it.
bool WaitForNoOwnSegments() {
  for (int i = 0; i < 200 && OwnSegments() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return OwnSegments() == 0;
}

// The duplication path's surfaces are shared-memory segments the server writes into:
// each frame keeps its own picture, no copy of ours is made or counted, a frame
// outlives the duplication and the screen system that made it, and no segment is
// left behind. A surface in ordinary memory still works, with one counted copy.
TEST(X11ScreenSystemTest, DuplicationFillsSharedMemoryFramesWithoutCopyOrLeak) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') GTEST_SKIP() << "no DISPLAY";
  ASSERT_EQ(OwnSegments(), 0);
  // Held open so the server does not reset its screen when our other connections close.
  // (It may be resetting just now, after the previous test closed its last one.)
  Display* first_open = nullptr;
  for (int i = 0; i < 100 && (first_open = XOpenDisplay(nullptr)) == nullptr; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::unique_ptr<Display, int (*)(Display*)> keep(first_open, XCloseDisplay);
  auto system = X11ScreenSystem::Open();
  if (!keep || !system) GTEST_SKIP() << "DISPLAY set but not usable as a 32-bit BGRA screen";
  const Rect r = system->EnumerateMonitors().at(0).rect;
  auto dup = system->DuplicateOutput(0);
  if (!dup) GTEST_SKIP() << "no XShm/XDamage on this display";
  // One duplication per output at a time, as the platform allows.
  EXPECT_EQ(system->DuplicateOutput(0), nullptr);

  auto capture = [&](const std::shared_ptr<Surface>& into) {
    FrameInfo info;
    EXPECT_EQ(dup->AcquireNextFrame(1000, &info), AcquireResult::kNewFrame);
    EXPECT_TRUE(dup->CopyFrame(into.get()));
    dup->ReleaseFrame();
  };
  PaintRoot(0, 0, 16, 16, 0x102030);
  auto first = system->CreateSurface(r.width, r.height);
  ASSERT_TRUE(first && first->backing() != nullptr);
  EXPECT_GT(OwnSegments(), 0);
  const uint64_t copies = FrameCopyCounter().load();
  capture(first);
  PaintRoot(0, 0, 16, 16, 0x405060);
  auto second = system->CreateSurface(r.width, r.height);
  capture(second);
  EXPECT_EQ(FrameCopyCounter().load(), copies);
  EXPECT_EQ(PixelAt(*first, 3, 3), 0x102030u);  // not rewritten by the later capture
  EXPECT_EQ(PixelAt(*second, 3, 3), 0x405060u);

  PaintRoot(0, 0, 16, 16, 0x708090);
  auto plain = Surface::Create(r.width, r.height);
  capture(plain);
  EXPECT_EQ(FrameCopyCounter().load(), copies + 1);
  EXPECT_EQ(PixelAt(*plain, 3, 3), 0x708090u);

  // A frame still queued when capture ends.
  dup.reset();
  system.reset();
  EXPECT_EQ(PixelAt(*second, 3, 3), 0x405060u);
  first.reset();
  second.reset();
  EXPECT_TRUE(WaitForNoOwnSegments());

  // A duplication can be made again after the previous one ended.
  system = X11ScreenSystem::Open();
  ASSERT_TRUE(system);
  dup = system->DuplicateOutput(0);
  ASSERT_TRUE(dup);
  PaintRoot(0, 0, 16, 16, 0xA0B0C0);
  auto again = system->CreateSurface(r.width, r.height);
  capture(again);
  EXPECT_EQ(PixelAt(*again, 3, 3), 0xA0B0C0u);
  dup.reset();
  system.reset();
  again.reset();
  EXPECT_TRUE(WaitForNoOwnSegments());
}

}  // namespace
}  // namespace platform::screen
