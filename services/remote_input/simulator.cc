#include "services/remote_input/simulator.h"

#include <algorithm>

#include "services/remote_input/mouse_device.h"
#include "services/remote_input/touch_device.h"
#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::simulator";

std::vector<std::unique_ptr<IInputDevice>> DefaultDevices() {
  std::vector<std::unique_ptr<IInputDevice>> devices;
  devices.push_back(std::make_unique<TouchDevice>());
  devices.push_back(std::make_unique<MouseDevice>());
  return devices;
}
}  // namespace

Simulator::Simulator(uint16_t width, uint16_t height) : Simulator(width, height, DefaultDevices()) {}

Simulator::Simulator(uint16_t width, uint16_t height,
                     std::vector<std::unique_ptr<IInputDevice>> devices)
    : width_(width), height_(height), devices_(std::move(devices)) {}

Simulator::~Simulator() = default;

bool Simulator::Open() {
  for (auto& device : devices_) {
    if (!device) continue;
    LOG_INFO("Open device, type: {}", device->GetType());
    if (!device->Open()) {
      LOG_ERROR("device open fail");
      return false;
    }
  }
  return true;
}

void Simulator::SetEnabled(bool enabled) { enabled_.store(enabled); }

bool Simulator::OnData(const std::vector<InputEvent>& events) {
  if (!enabled_.load()) return true;
  const size_t count = devices_.size();
  for (const InputEvent& event : events) {
    for (size_t i = 0; i < count; ++i) {
      if (!devices_[i] || !devices_[i]->Process(event)) continue;
      // The taker goes to the front; the others keep their relative order.
      if (i > 0) std::rotate(devices_.begin(), devices_.begin() + static_cast<long>(i),
                             devices_.begin() + static_cast<long>(i) + 1);
      break;
    }
  }
  return true;
}

std::vector<int> Simulator::DeviceOrder() const {
  std::vector<int> order;
  for (const auto& device : devices_) order.push_back(device ? device->GetType() : -1);
  return order;
}

}  // namespace crcp::ril
