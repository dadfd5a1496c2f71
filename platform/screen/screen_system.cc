#include "platform/screen/screen_system.h"

#include "platform/backend.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"
#include "platform/screen/x11_screen_system.h"

namespace platform::screen {

const char* ToString(AcquireResult result) {
  switch (result) {
    case AcquireResult::kNewFrame: return "new frame";
    case AcquireResult::kTimeout: return "time-out";
    case AcquireResult::kAccessLost: return "access lost";
    case AcquireResult::kInvalidCall: return "invalid call";
    case AcquireResult::kDeviceRemoved: return "device removed";
    case AcquireResult::kError: return "error";
  }
  return "unknown";
}

std::unique_ptr<ScreenSystem> ScreenSystem::Create() {
  if (SelectedBackend() == Backend::kSimulated) {
    return std::make_unique<SimScreenSystem>(SimDesktop::Shared());
  }
  return X11ScreenSystem::Open();
}

}  // namespace platform::screen
