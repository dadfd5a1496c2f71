#include "platform/input/xtest_mouse_injector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/screen/shared_area.h"
#include "utils/logger.h"

namespace platform::input {

namespace {
const char* const kLogTag = "PLATFORM::input";
constexpr int kMaxWheelClicks = 100;
}  // namespace

XTestMouseInjector::~XTestMouseInjector() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

int XTestMouseInjector::ToPixel(int32_t absolute, int extent) {
  if (extent <= 0) return 0;
  const int64_t clamped = std::clamp<int64_t>(absolute, 0, 65535);
  return static_cast<int>(std::min<int64_t>(clamped * extent / 65536, extent - 1));
}

int XTestMouseInjector::WheelClicks(int32_t data) {
  if (data == 0) return 0;
  const int64_t notches = std::abs(static_cast<int64_t>(data)) / kWheelDelta;
  return static_cast<int>(std::clamp<int64_t>(notches, 1, kMaxWheelClicks));
}

bool XTestMouseInjector::EnsureDisplay() {
  if (display_ != nullptr) return true;
  display_ = XOpenDisplay(nullptr);
  int event_base, error_base, major, minor;
  if (display_ != nullptr &&
      !XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(display_);
    display_ = nullptr;
  }
  if (display_ == nullptr && !warned_) {
    LOG_ERROR("No X display with the test extension, mouse input is dropped");
    warned_ = true;
  }
  return display_ != nullptr;
}

bool XTestMouseInjector::Inject(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
  if (flags == 0) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!EnsureDisplay()) return false;
  if (flags & mouse_flags::kMove) {
    if (flags & mouse_flags::kAbsolute) {
      const int screen = DefaultScreen(display_);
      // Monitor rectangles are in root-window coordinates, the ones the motion takes.
      screen::Rect area{0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
      if (const auto shared = screen::SharedArea::Instance().Current();
          shared && shared->monitor.width > 0 && shared->monitor.height > 0)
        area = shared->monitor;
      XTestFakeMotionEvent(display_, screen, area.left + ToPixel(dx, area.width),
                           area.top + ToPixel(dy, area.height), CurrentTime);
    } else {
      XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    }
  }
  struct Button {
    uint32_t down, up;
    unsigned int number;
  };
  for (const Button& b : {Button{mouse_flags::kLeftDown, mouse_flags::kLeftUp, 1},
                          Button{mouse_flags::kRightDown, mouse_flags::kRightUp, 3},
                          Button{mouse_flags::kMiddleDown, mouse_flags::kMiddleUp, 2}}) {
    if (flags & b.down) XTestFakeButtonEvent(display_, b.number, True, CurrentTime);
    if (flags & b.up) XTestFakeButtonEvent(display_, b.number, False, CurrentTime);
  }
  if (flags & mouse_flags::kWheel) {
    const unsigned int button = data > 0 ? 4 : 5;  // wheel away from the user scrolls up
    for (int i = WheelClicks(data); i > 0; --i) {
      XTestFakeButtonEvent(display_, button, True, CurrentTime);
      XTestFakeButtonEvent(display_, button, False, CurrentTime);
    }
  }
  XFlush(display_);
  return true;
}

}  // namespace platform::input
