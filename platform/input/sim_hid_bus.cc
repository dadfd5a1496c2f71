#include "platform/input/sim_hid_bus.h"

namespace platform::input {

namespace {
class SimHidHandle : public IHidDevice {
 public:
  explicit SimHidHandle(std::shared_ptr<SimHidDevice> device) : device_(std::move(device)) {}
  const HidDeviceInfo& Info() const override { return device_->Info(); }
  HidResult SendOutputReport(const uint8_t* report, size_t size) override {
    return device_->Receive(report, size);
  }

 private:
  std::shared_ptr<SimHidDevice> device_;
};
}  // namespace

void SimHidBus::AddDevice(std::shared_ptr<SimHidDevice> device) {
  std::lock_guard<std::mutex> lock(mutex_);
  devices_.push_back(std::move(device));
}

void SimHidBus::SetEnumerateFails(bool fails) {
  std::lock_guard<std::mutex> lock(mutex_);
  enumerate_fails_ = fails;
}

std::vector<std::string> SimHidBus::OpenAttempts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_attempts_;
}

std::optional<std::vector<HidDeviceInfo>> SimHidBus::Enumerate() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (enumerate_fails_) return std::nullopt;
  std::vector<HidDeviceInfo> out;
  for (const auto& device : devices_) out.push_back(device->Info());
  return out;
}

std::unique_ptr<IHidDevice> SimHidBus::Open(const std::string& path, HidResult& result) {
  std::shared_ptr<SimHidDevice> found;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_attempts_.push_back(path);
    for (const auto& device : devices_)
      if (device->Info().path == path) found = device;
  }
  if (!found) {
    result = HidResult::Fail("no such device");
    return nullptr;
  }
  if (!found->TryOpen()) {
    result = HidResult::Fail("access denied");
    return nullptr;
  }
  result = HidResult::Ok();
  return std::make_unique<SimHidHandle>(found);
}

}  // namespace platform::input
