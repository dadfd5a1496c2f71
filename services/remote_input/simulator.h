#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "services/remote_input/i_data_sink.h"
#include "services/remote_input/i_input_device.h"

namespace crcp::ril {

// Turns the receiver's input events into input on this computer: each event goes to
// the first device that takes it, and that device moves to the front so a run of
// touch or mouse events reaches its device at the first try. Injection happens only
// while enabled.
class Simulator : public IDataSink {
 public:
  // Devices [TouchDevice (desktop window), MouseDevice] on the selected back-end.
  Simulator(uint16_t width, uint16_t height);
  // The given devices, in that order (null entries are skipped).
  Simulator(uint16_t width, uint16_t height, std::vector<std::unique_ptr<IInputDevice>> devices);
  ~Simulator() override;

  // Opens every device in order; false at the first that fails (the rest stay closed).
  bool Open();
  void SetEnabled(bool enabled) override;
  bool IsEnabled() const { return enabled_.load(); }
  // The desktop size given at construction; kept for the devices' sake, unused here.
  uint16_t ScreenWidth() const { return width_; }
  uint16_t ScreenHeight() const { return height_; }
  // Always true. Runs on the data receiver's thread, the only one that reorders.
  bool OnData(const std::vector<InputEvent>& events) override;

  // The device types in their current order; call it from the thread of OnData.
  std::vector<int> DeviceOrder() const;

 private:
  std::atomic<bool> enabled_{false};
  const uint16_t width_;
  const uint16_t height_;
  std::vector<std::unique_ptr<IInputDevice>> devices_;
};

}  // namespace crcp::ril
