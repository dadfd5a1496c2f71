#pragma once

#include "platform/input/window_system.h"

namespace platform::input {

// On Linux the virtual touch device maps onto the whole screen, so the only window it
// serves is the desktop, which always exists.
class LinuxWindowSystem : public IWindowSystem {
 public:
  static constexpr WindowHandle kDesktop = 1;
  WindowHandle DesktopWindow() override { return kDesktop; }
  bool IsWindow(WindowHandle window) override { return window == kDesktop; }
};

}  // namespace platform::input
