#pragma once

#include <mutex>

#include "platform/input/mouse_injector.h"

struct _XDisplay;

namespace platform::input {

// Mouse input through the X11 test extension of the display in DISPLAY, opened on the
// first injection (and again later when it was not there). An absolute move spans the
// monitor the receiver's picture shows (the shared area), or the whole screen while
// no capture runs.
class XTestMouseInjector : public IMouseInjector {
 public:
  ~XTestMouseInjector() override;
  bool Inject(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override;

  // Absolute 0..65535 to a pixel of an area `extent` pixels wide (or high): 65536
  // units to the area, so that the middle (32768) is the first pixel of its second
  // half, as the classic mouse-event call maps it.
  static int ToPixel(int32_t absolute, int extent);
  // Wheel notches for an amount in units of 120, at least one for any non-zero amount,
  // bounded so a hostile amount cannot keep the thread clicking.
  static int WheelClicks(int32_t data);

 private:
  bool EnsureDisplay();

  std::mutex mutex_;
  _XDisplay* display_ = nullptr;
  bool warned_ = false;
};

}  // namespace platform::input
