#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/input/mouse_injector.h"
#include "services/remote_input/i_input_device.h"

namespace crcp::ril {

// Drives the system mouse. The events of one frame accumulate into flags, dx, dy and
// a wheel amount that go out as one mouse input at EV_SYN.
class MouseDevice : public IInputDevice {
 public:
  // Null injector: the one of the selected platform back-end.
  explicit MouseDevice(std::shared_ptr<platform::input::IMouseInjector> injector = nullptr);

  int GetType() override { return kMouse; }
  bool Open() override;
  void Close() override;
  bool Process(const InputEvent& event) override;

  // Notches in units of 120, saturated to the 32-bit range.
  static int32_t WheelData(int32_t notches);

 private:
  std::shared_ptr<platform::input::IMouseInjector> injector_;
  std::atomic<bool> open_{false};
  uint32_t flags_ = 0;
  int32_t dx_ = 0;
  int32_t dy_ = 0;
  int32_t data_ = 0;
};

}  // namespace crcp::ril
