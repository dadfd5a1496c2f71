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

// The connection of a screen system's duplication path. Its shared-memory surfaces are
// attached on it and can only be detached over it, and a frame may outlive the
// duplication and the screen system that made it (it waits in a queue or the
// encoder), so every surface holds the connection; the last one closes it.
struct XConnection {
  explicit XConnection(Display* display) : dpy(display) {}
  ~XConnection() { XCloseDisplay(dpy); }
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  Display* const dpy;
  // False once the server refused to attach our memory (a remote server): surfaces
  // are then made in ordinary memory.
  std::atomic<bool> shm_usable{true};
  // Damage and cursor events arrive on this connection for one reader: one
  // duplication at a time, as the platform allows one duplication of an output.
  std::atomic<bool> duplicating{false};
};

// The pixels of a duplication-path surface: a SysV shared-memory segment attached to
// the X server, into which XShmGetImage makes the server write the desktop image. The
// frame that holds the surface hands those bytes on as they are: no copy of ours.
class ShmBacking : public Surface::Backing {
 public:
  // Null when no segment can be had or the server cannot attach it.
  static std::shared_ptr<Surface> CreateSurface(const std::shared_ptr<XConnection>& connection,
                                                int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    Display* dpy = connection->dpy;
    auto backing = std::unique_ptr<ShmBacking>(new ShmBacking(connection));
    XShmSegmentInfo& shm = backing->shm_;
    const int screen = DefaultScreen(dpy);
    backing->image_ = XShmCreateImage(dpy, DefaultVisual(dpy, screen), DefaultDepth(dpy, screen),
                                      ZPixmap, nullptr, &shm, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height));
    if (backing->image_ == nullptr || backing->image_->bits_per_pixel != 32) return nullptr;
    const int stride = backing->image_->bytes_per_line;
    shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(stride) * static_cast<size_t>(height),
                       IPC_CREAT | 0600);
    if (shm.shmid < 0) return nullptr;
    void* address = shmat(shm.shmid, nullptr, 0);
    // Marked for removal at once: the segment goes when the last attachment (ours and
    // the server's) does, on every path, a crash included. Linux still lets the
    // server attach a segment so marked.
    shmctl(shm.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) return nullptr;
    shm.shmaddr = backing->image_->data = static_cast<char*>(address);
    shm.readOnly = False;
    g_last_x_error.store(0);
    if (!XShmAttach(dpy, &shm)) return nullptr;
    XSync(dpy, False);
    if (g_last_x_error.load() != 0) {  // a remote server cannot attach our memory
      connection->shm_usable = false;
      return nullptr;
    }
    backing->attached_ = true;
    auto* data = reinterpret_cast<uint8_t*>(address);
    return Surface::Wrap(width, height, stride, data, std::move(backing));
  }

  ~ShmBacking() override {
    if (attached_) {
      XShmDetach(connection_->dpy, &shm_);
      XFlush(connection_->dpy);
    }
    // An XShm image's destroy hook frees the structure only, never the segment.
    if (image_ != nullptr) XDestroyImage(image_);
    if (shm_.shmaddr != nullptr) shmdt(shm_.shmaddr);
  }

  const XConnection* connection() const { return connection_.get(); }
  XImage* image() const { return image_; }

 private:
  explicit ShmBacking(std::shared_ptr<XConnection> connection) : connection_(std::move(connection)) {
    std::memset(&shm_, 0, sizeof(shm_));
  }

  std::shared_ptr<XConnection> connection_;
  XShmSegmentInfo shm_;
  XImage* image_ = nullptr;
  bool attached_ = false;
};

class X11Duplication : public OutputDuplication {
 public:
  static std::unique_ptr<X11Duplication> Create(std::shared_ptr<XConnection> connection, int index) {
    if (!connection || connection->duplicating.exchange(true)) return nullptr;
    auto d = std::unique_ptr<X11Duplication>(new X11Duplication(std::move(connection)));
    return d->Init(index) ? std::move(d) : nullptr;
  }

  ~X11Duplication() override {
    // The connection stays open while surfaces hold it: stop the events meant for
    // this duplication, so none pile up for the next one.
    if (damage_ != 0) XDamageDestroy(dpy_, damage_);
    if (selected_) {
      XFixesSelectCursorInput(dpy_, root_, 0);
      if (have_randr_) XRRSelectInput(dpy_, root_, 0);
    }
    XSync(dpy_, True);  // and drop those already queued
    connection_->duplicating = false;
  }

  AcquireResult AcquireNextFrame(int timeout_ms, FrameInfo* info) override {
    if (acquired_) return AcquireResult::kInvalidCall;
    if (lost_) return AcquireResult::kAccessLost;
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

  // The damage seen so far was subtracted on this connection before the image is
  // asked for on it, so a change made after the fetch always brings a next frame.
  bool CopyFrame(Surface* dst) override {
    if (!acquired_ || dst->width() != rect_.width || dst->height() != rect_.height) return false;
    g_last_x_error.store(0);
    auto* shm = dynamic_cast<ShmBacking*>(dst->backing());
    if (shm != nullptr && shm->connection() == connection_.get()) {
      // The server writes into the frame's own segment, which no one else holds.
      if (XShmGetImage(dpy_, root_, shm->image(), rect_.left, rect_.top, AllPlanes)) return true;
      lost_ = true;  // the rectangle left the screen: the layout changed
      return false;
    }
    // A surface in ordinary memory (the server could not attach ours): fetch, copy once.
    XImage* image = XGetImage(dpy_, root_, rect_.left, rect_.top, static_cast<unsigned>(rect_.width),
                              static_cast<unsigned>(rect_.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
      lost_ = true;
      return false;
    }
    const bool ok = image->bits_per_pixel == 32;
    if (ok) {
      libyuv::ARGBCopy(reinterpret_cast<const uint8_t*>(image->data), image->bytes_per_line,
                       dst->data(), dst->stride(), rect_.width, rect_.height);
      FrameCopyCounter().fetch_add(1, std::memory_order_relaxed);
    }
    XDestroyImage(image);
    return ok;
  }

  bool GetFramePointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) override {
    if (!acquired_ || shape_.empty()) return false;
    *bytes = shape_;
    *info = shape_info_;
    return true;
  }

  void ReleaseFrame() override { acquired_ = false; }

 private:
  explicit X11Duplication(std::shared_ptr<XConnection> connection)
      : connection_(std::move(connection)), dpy_(connection_->dpy), root_(DefaultRootWindow(dpy_)) {}

  bool Init(int index) {
    int error_base = 0, major = 0, minor = 0;
    Bool pixmaps = False;
    if (!XShmQueryVersion(dpy_, &major, &minor, &pixmaps)) return false;
    if (!XDamageQueryExtension(dpy_, &damage_event_, &error_base)) return false;
    if (!XFixesQueryExtension(dpy_, &fixes_event_, &error_base)) return false;
    have_randr_ = XRRQueryExtension(dpy_, &randr_event_, &error_base) != 0;
    auto monitors = QueryMonitors(dpy_, have_randr_);
    if (index < 0 || index >= static_cast<int>(monitors.size())) return false;
    rect_ = monitors[index].rect;
    // Events from an earlier duplication on this connection are no news for this one.
    XSync(dpy_, True);
    damage_ = XDamageCreate(dpy_, root_, XDamageReportNonEmpty);
    XFixesSelectCursorInput(dpy_, root_, XFixesDisplayCursorNotifyMask);
    if (have_randr_) XRRSelectInput(dpy_, root_, RRScreenChangeNotifyMask);
    selected_ = true;
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

  const std::shared_ptr<XConnection> connection_;
  Display* const dpy_;
  const Window root_;
  Rect rect_;
  bool selected_ = false;
  bool lost_ = false;
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
  // The duplication path's connection, opened at first need; null when it cannot be.
  std::shared_ptr<XConnection> capture;
  bool capture_tried = false;

  const std::shared_ptr<XConnection>& Capture() {
    if (!capture_tried) {
      capture_tried = true;
      if (Display* d = OpenDisplay()) {
        capture = std::make_shared<XConnection>(d);
        if (!IsBgra32(d) || !XShmQueryExtension(d)) capture->shm_usable = false;
      }
    }
    return capture;
  }
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
  return X11Duplication::Create(state_->Capture(), index);
}

std::shared_ptr<Surface> X11ScreenSystem::CreateSurface(int width, int height) {
  const auto& capture = state_->Capture();
  if (capture && capture->shm_usable) {
    if (auto surface = ShmBacking::CreateSurface(capture, width, height)) return surface;
  }
  return Surface::Create(width, height);
}

std::unique_ptr<ScreenBlitter> X11ScreenSystem::CreateBlitter() {
  Display* dpy = OpenDisplay();
  if (dpy == nullptr) return nullptr;
  return std::make_unique<X11Blitter>(dpy);
}

}  // namespace platform::screen
