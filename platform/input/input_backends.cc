// The factories of the input facility: the selected back-end for the whole run.
#include "platform/backend.h"
#include "platform/input/hid_bus.h"
#include "platform/input/linux_window_system.h"
#include "platform/input/mouse_injector.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "platform/input/uinput_touch_bus.h"
#include "platform/input/window_system.h"
#include "platform/input/xtest_mouse_injector.h"

namespace platform::input {

std::shared_ptr<IHidBus> CreateHidBus() {
  if (SelectedBackend() == Backend::kSimulated) {
    auto bus = std::make_shared<SimHidBus>();
    bus->AddDevice(std::make_shared<SimHidDevice>(
        HidDeviceInfo{"sim:hid/touch", UinputTouchBus::kVendorId, UinputTouchBus::kProductId,
                      UinputTouchBus::kUsagePage, UinputTouchBus::kUsage},
        /*log_reports=*/true));
    return bus;
  }
  return std::make_shared<UinputTouchBus>();
}

std::shared_ptr<IMouseInjector> CreateMouseInjector() {
  if (SelectedBackend() == Backend::kSimulated) return std::make_shared<RecordingMouse>(true);
  return std::make_shared<XTestMouseInjector>();
}

std::shared_ptr<IWindowSystem> CreateWindowSystem() {
  if (SelectedBackend() == Backend::kSimulated) return std::make_shared<SimWindowSystem>();
  return std::make_shared<LinuxWindowSystem>();
}

}  // namespace platform::input
