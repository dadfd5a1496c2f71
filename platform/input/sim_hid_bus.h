#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input/hid_bus.h"
#include "platform/input/sim_hid_device.h"

namespace platform::input {

// A scriptable HID bus: the devices added to it, in that order.
class SimHidBus : public IHidBus {
 public:
  void AddDevice(std::shared_ptr<SimHidDevice> device);
  // Makes Enumerate fail as a bus that cannot be listed.
  void SetEnumerateFails(bool fails);
  // Every path Open was asked for, in order.
  std::vector<std::string> OpenAttempts() const;

  std::optional<std::vector<HidDeviceInfo>> Enumerate() override;
  std::unique_ptr<IHidDevice> Open(const std::string& path, HidResult& result) override;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimHidDevice>> devices_;
  std::vector<std::string> open_attempts_;
  bool enumerate_fails_ = false;
};

}  // namespace platform::input
