#pragma once

#include <memory>
#include <vector>

#include "platform/screen/output_duplication.h"
#include "platform/screen/screen_blitter.h"
#include "platform/screen/screen_types.h"

namespace platform::screen {

// The desktop as the capture code sees it: monitors, display-change news and the two
// capture paths. One object per capture thread; it is not shared between threads.
class ScreenSystem {
 public:
  virtual ~ScreenSystem() = default;

  // X11 when a display can be opened, the simulated desktop under
  // CASTORA_PLATFORM=sim. Null when no desktop is reachable (no DISPLAY).
  static std::unique_ptr<ScreenSystem> Create();

  // Monitors in enumeration order; the primary one is flagged.
  virtual std::vector<Monitor> EnumerateMonitors() = 0;
  // True once after each change of the monitor layout (the display-change message).
  virtual bool TakeDisplayChange() = 0;
  // Duplication of the output at `index` (enumeration order). Null when the index has
  // no output or the duplication path is not available.
  virtual std::unique_ptr<OutputDuplication> DuplicateOutput(int index) = 0;
  // A staging surface for the duplication path; null when it cannot be created.
  virtual std::shared_ptr<Surface> CreateSurface(int width, int height) = 0;
  // The blit path; null when it is not available.
  virtual std::unique_ptr<ScreenBlitter> CreateBlitter() = 0;
};

}  // namespace platform::screen
