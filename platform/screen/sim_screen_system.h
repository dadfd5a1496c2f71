#pragma once

#include <memory>

#include "platform/screen/screen_system.h"
#include "platform/screen/sim_desktop.h"

namespace platform::screen {

// The ScreenSystem over a SimDesktop (the shared one unless a test passes its own).
class SimScreenSystem : public ScreenSystem {
 public:
  explicit SimScreenSystem(std::shared_ptr<SimDesktop> desktop);

  std::vector<Monitor> EnumerateMonitors() override;
  bool TakeDisplayChange() override;
  std::unique_ptr<OutputDuplication> DuplicateOutput(int index) override;
  std::shared_ptr<Surface> CreateSurface(int width, int height) override;
  std::unique_ptr<ScreenBlitter> CreateBlitter() override;

 private:
  std::shared_ptr<SimDesktop> desktop_;
  uint64_t seen_generation_;
};

}  // namespace platform::screen
