#include "platform/screen/x11_screen_system.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

#include <libyuv/planar_functions.h>

namespace platform::screen {

namespace {

// Xlib's default error handler ends the process; a capture error (a rectangle that
// left the screen after a mode change) must only fail that call.
std::atomic<int> g_last_x_error{0};
int RecordXError(Display*, XErrorEvent* event) {
  g_last_x_error.store(event->error_code, std::memory_order_relaxed);
  return 0;
}

Display* OpenDisplay() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetErrorHandler(RecordXError);
  });
  return XOpenDisplay(nullptr);
}

bool IsBgra32(Display* dpy) {
  int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  int depth = DefaultDepth(dpy, screen);
  return (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 &&
         visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
}

std::vector<Monitor> QueryMonitors(Display* dpy, bool have_randr) {
  std::vector<Monitor> out;
  Window root = DefaultRootWindow(dpy);
  if (have_randr) {
    int n = 0;
    XRRMonitorInfo* info = XRRGetMonitors(dpy, root, True, &n);
    for (int i = 0; info != nullptr && i < n; ++i) {
      Monitor m;
      m.rect = Rect{info[i].x, info[i].y, info[i].width, info[i].height};
      m.primary = info[i].primary != 0;
      if (char* name = XGetAtomName(dpy, info[i].name)) {
        m.name = name;
        XFree(name);
      }
      out.push_back(m);
    }
    if (info != nullptr) XRRFreeMonitors(info);
  }
  if (out.empty()) {
    int screen = DefaultScreen(dpy);
    out.push_back(Monitor{Rect{0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen)}, true,
                          "default"});
  }
  // Without a primary output configured, the first one serves as primary.
  bool any_primary = false;
  for (const Monitor& m : out) any_primary = any_primary || m.primary;
  if (!any_primary) out[0].primary = true;
  return out;
}

CursorImage ReadCursor(Display* dpy) {
  CursorImage c;
  XFixesCursorImage* image = XFixesGetCursorImage(dpy);
  if (image == nullptr) return c;
  c.visible = true;
  c.x = image->x;
  c.y = image->y;
  c.hot_x = image->xhot;
  c.hot_y = image->yhot;
  c.width = image->width;
  c.height = image->height;
  c.pixels.resize(static_cast<size_t>(c.width) * c.height * 4);
  // XFixes hands out premultiplied ARGB in longs; keep the low 32 bits as BGRA bytes.
  for (size_t i = 0; i < static_cast<size_t>(c.width) * c.height; ++i) {
    uint32_t v = static_cast<uint32_t>(image->pixels[i]);
    std::memcpy(c.pixels.data() + i * 4, &v, 4);
  }
  XFree(image);
  return c;
}

class X11Duplication : public OutputDuplication {
 public:
  static std::unique_ptr<X11Duplication> Create(int index) {
    auto d = std::unique_ptr<X11Duplication>(new X11Duplication());
    return d->Init(index) ? std::move(d) : nullptr;
  }

  ~X11Duplication() override {
    if (dpy_ == nullptr) return;
    if (damage_ != 0) XDamageDestroy(dpy_, damage_);
    if (attached_) XShmDetach(dpy_, &shm_);
    if (image_ != nullptr) XDestroyImage(image_);
    if (shm_.shmaddr != nullptr && shm_.shmaddr != reinterpret_cast<char*>(-1)) shmdt(shm_.shmaddr);
    XCloseDisplay(dpy_);
  }

  AcquireResult AcquireNextFrame(int timeout_ms, FrameInfo* info) override {
    if (acquired_) return AcquireResult::kInvalidCall;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool changed = first_;
    for (;;) {
      if (!DrainEvents(&changed)) return AcquireResult::kAccessLost;
      if (PointerMoved()) changed = true;
      if (changed) break;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return AcquireResult::kTimeout;
      // Pointer moves make no damage; look at the pointer at least every 10 ms.
      pollfd fd{ConnectionNumber(dpy_), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(std::min<long long>(left, 10)));
    }
    first_ = false;
    g_last_x_error.store(0);
    if (!XShmGetImage(dpy_, root_, image_, rect_.left, rect_.top, AllPlanes)) {
      return AcquireResult::kAccessLost;
    }
    *info = FrameInfo{};
    info->width = rect_.width;
    info->height = rect_.height;
    info->pointer_updated = true;
    info->pointer_x = pointer_x_ - hot_x_ - rect_.left;
    info->pointer_y = pointer_y_ - hot_y_ - rect_.top;
    info->pointer_visible = true;
    if (shape_changed_) {
      CursorImage c = ReadCursor(dpy_);
      shape_changed_ = false;
      hot_x_ = c.hot_x;
      hot_y_ = c.hot_y;
      shape_ = std::move(c.pixels);
      shape_info_ = PointerShapeInfo{kPointerColor, c.width, c.height, c.width * 4, c.hot_x, c.hot_y};
      info->pointer_x = pointer_x_ - hot_x_ - rect_.left;
      info->pointer_y = pointer_y_ - hot_y_ - rect_.top;
      info->pointer_shape_size = shape_.size();
    }
    acquired_ = true;
    return AcquireResult::kNewFrame;
  }

  bool CopyFrame(Surface* dst) override {
    if (!acquired_ || dst->width() != rect_.width || dst->height() != rect_.height) return false;
    libyuv::ARGBCopy(reinterpret_cast<const uint8_t*>(image_->data), image_->bytes_per_line,
                     dst->data(), dst->stride(), rect_.width, rect_.height);
    FrameCopyCounter().fetch_add(1, std::memory_order_relaxed);
    return true;
  }

  bool GetFramePointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) override {
    if (!acquired_ || shape_.empty()) return false;
    *bytes = shape_;
    *info = shape_info_;
    return true;
  }

  void ReleaseFrame() override { acquired_ = false; }

 private:
  X11Duplication() { std::memset(&shm_, 0, sizeof(shm_)); }

  bool Init(int index) {
    dpy_ = OpenDisplay();
    if (dpy_ == nullptr || !IsBgra32(dpy_)) return false;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    Bool pixmaps = False;
    if (!XShmQueryVersion(dpy_, &major, &minor, &pixmaps)) return false;
    if (!XDamageQueryExtension(dpy_, &damage_event_, &error_base)) return false;
    if (!XFixesQueryExtension(dpy_, &fixes_event_, &error_base)) return false;
    have_randr_ = XRRQueryExtension(dpy_, &randr_event_, &error_base) != 0;
    (void)event_base;
    auto monitors = QueryMonitors(dpy_, have_randr_);
    if (index < 0 || index >= static_cast<int>(monitors.size())) return false;
    rect_ = monitors[index].rect;
    root_ = DefaultRootWindow(dpy_);
    int screen = DefaultScreen(dpy_);
    image_ = XShmCreateImage(dpy_, DefaultVisual(dpy_, screen), DefaultDepth(dpy_, screen), ZPixmap,
                             nullptr, &shm_, rect_.width, rect_.height);
    if (image_ == nullptr || image_->bits_per_pixel != 32) return false;
    shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * image_->height,
                        IPC_CREAT | 0600);
    if (shm_.shmid < 0) return false;
    shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
    // Marked for removal now: the segment goes when both sides detach, even on a crash.
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    if (shm_.shmaddr == reinterpret_cast<char*>(-1)) return false;
    shm_.readOnly = False;
    g_last_x_error.store(0);
    if (!XShmAttach(dpy_, &shm_)) return false;
    XSync(dpy_, False);
    if (g_last_x_error.load() != 0) return false;  // a remote server cannot attach our memory
    attached_ = true;
    damage_ = XDamageCreate(dpy_, root_, XDamageReportNonEmpty);
    XFixesSelectCursorInput(dpy_, root_, XFixesDisplayCursorNotifyMask);
    if (have_randr_) XRRSelectInput(dpy_, root_, RRScreenChangeNotifyMask);
    XSync(dpy_, False);
    return true;
  }

  // False when the layout changed: the duplication is lost, as after a mode change.
  bool DrainEvents(bool* changed) {
    bool lost = false;
    while (XPending(dpy_) > 0) {
      XEvent ev;
      XNextEvent(dpy_, &ev);
      if (ev.type == damage_event_ + XDamageNotify) {
        *changed = true;
      } else if (ev.type == fixes_event_ + XFixesCursorNotify) {
        shape_changed_ = true;
        *changed = true;
      } else if (have_randr_ && ev.type == randr_event_ + RRScreenChangeNotify) {
        XRRUpdateConfiguration(&ev);
        lost = true;
      }
    }
    if (*changed) XDamageSubtract(dpy_, damage_, 0, 0);
    return !lost;
  }

  bool PointerMoved() {
    Window root_ret = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(dpy_, root_, &root_ret, &child, &x, &y, &wx, &wy, &mask)) return false;
    bool moved = x != pointer_x_ || y != pointer_y_;
    pointer_x_ = x;
    pointer_y_ = y;
    return moved;
  }

  Display* dpy_ = nullptr;
  Window root_ = 0;
  Rect rect_;
  XShmSegmentInfo shm_;
  XImage* image_ = nullptr;
  bool attached_ = false;
  Damage damage_ = 0;
  int damage_event_ = 0;
  int fixes_event_ = 0;
  int randr_event_ = 0;
  bool have_randr_ = false;
  bool first_ = true;
  bool acquired_ = false;
  bool shape_changed_ = true;
  int pointer_x_ = -1;
  int pointer_y_ = -1;
  int hot_x_ = 0;
  int hot_y_ = 0;
  std::vector<uint8_t> shape_;
  PointerShapeInfo shape_info_;
};

class X11Blitter : public ScreenBlitter {
 public:
  explicit X11Blitter(Display* dpy) : dpy_(dpy) {}
  ~X11Blitter() override { XCloseDisplay(dpy_); }

  bool Blit(const Rect& source, Surface* dst) override {
    if (dst->width() != source.width || dst->height() != source.height) return false;
    g_last_x_error.store(0);
    XImage* image = XGetImage(dpy_, DefaultRootWindow(dpy_), source.left, source.top,
                              static_cast<unsigned>(source.width), static_cast<unsigned>(source.height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    bool ok = image->bits_per_pixel == 32;
    if (ok) {
      libyuv::ARGBCopy(reinterpret_cast<const uint8_t*>(image->data), image->bytes_per_line,
                       dst->data(), dst->stride(), source.width, source.height);
      FrameCopyCounter().fetch_add(1, std::memory_order_relaxed);
    }
    XDestroyImage(image);
    return ok;
  }

  CursorImage GetCursor() override { return ReadCursor(dpy_); }

 private:
  Display* dpy_;
};

}  // namespace

struct X11ScreenSystem::State {
  Display* dpy = nullptr;
  bool have_randr = false;
  int randr_event = 0;
};

std::unique_ptr<X11ScreenSystem> X11ScreenSystem::Open() {
  Display* dpy = OpenDisplay();
  if (dpy == nullptr) return nullptr;
  if (!IsBgra32(dpy)) {
    XCloseDisplay(dpy);
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->dpy = dpy;
  int error_base = 0;
  state->have_randr = XRRQueryExtension(dpy, &state->randr_event, &error_base) != 0;
  if (state->have_randr) XRRSelectInput(dpy, DefaultRootWindow(dpy), RRScreenChangeNotifyMask);
  return std::unique_ptr<X11ScreenSystem>(new X11ScreenSystem(std::move(state)));
}

X11ScreenSystem::X11ScreenSystem(std::unique_ptr<State> state) : state_(std::move(state)) {}

X11ScreenSystem::~X11ScreenSystem() { XCloseDisplay(state_->dpy); }

std::vector<Monitor> X11ScreenSystem::EnumerateMonitors() {
  return QueryMonitors(state_->dpy, state_->have_randr);
}

bool X11ScreenSystem::TakeDisplayChange() {
  bool changed = false;
  while (XPending(state_->dpy) > 0) {
    XEvent ev;
    XNextEvent(state_->dpy, &ev);
    if (state_->have_randr && ev.type == state_->randr_event + RRScreenChangeNotify) {
      XRRUpdateConfiguration(&ev);
      changed = true;
    }
  }
  return changed;
}

std::unique_ptr<OutputDuplication> X11ScreenSystem::DuplicateOutput(int index) {
  return X11Duplication::Create(index);
}

std::shared_ptr<Surface> X11ScreenSystem::CreateSurface(int width, int height) {
  return Surface::Create(width, height);
}

std::unique_ptr<ScreenBlitter> X11ScreenSystem::CreateBlitter() {
  Display* dpy = OpenDisplay();
  if (dpy == nullptr) return nullptr;
  return std::make_unique<X11Blitter>(dpy);
}

}  // namespace platform::screen
