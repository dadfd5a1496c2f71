#pragma once

#include <memory>

#include "platform/screen/screen_system.h"

namespace platform::screen {

// The desktop of an X server: XRandR monitors and change events, XDamage for the
// duplication path (no damage within the time-out is a time-out), whose surfaces are
// shared-memory segments the server writes the image into (XShm), XGetImage for the
// blit path and XFixes for the cursor image. 24/32-bit TrueColor screens only.
class X11ScreenSystem : public ScreenSystem {
 public:
  // Null when no display can be opened (no DISPLAY, server gone) or its pixels are
  // not 32-bit BGRA.
  static std::unique_ptr<X11ScreenSystem> Open();
  ~X11ScreenSystem() override;

  std::vector<Monitor> EnumerateMonitors() override;
  bool TakeDisplayChange() override;
  std::unique_ptr<OutputDuplication> DuplicateOutput(int index) override;
  std::shared_ptr<Surface> CreateSurface(int width, int height) override;
  std::unique_ptr<ScreenBlitter> CreateBlitter() override;

  struct State;

 private:
  explicit X11ScreenSystem(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform::screen
