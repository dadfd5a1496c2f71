#include "crcp/config.h"

namespace crcp {

Config& Config::Instance() {
  static Config config;
  return config;
}

std::pair<uint16_t, uint16_t> Config::GetPorts() const {
  uint64_t custom = port_override_.load();
  if (custom & (1ull << 32))
    return {static_cast<uint16_t>(custom & 0xFFFF), static_cast<uint16_t>((custom >> 16) & 0xFFFF)};
  uint32_t value = ports_.load();
  uint16_t low = static_cast<uint16_t>(value & 0xFFFF);
  uint16_t high = static_cast<uint16_t>(value >> 16);
  if (low != 0 && high != 0) return {static_cast<uint16_t>(low + 4), high};
  return {low, high};
}

void Config::SetPorts(uint16_t first, uint16_t last) {
  port_override_.store((1ull << 32) | first | (static_cast<uint64_t>(last) << 16));
}

std::string Config::GetUuid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return uuid_;
}

void Config::SetUuid(const std::string& uuid) {
  std::lock_guard<std::mutex> lock(mutex_);
  uuid_ = uuid;
}

std::string Config::GetBindAddress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bind_address_;
}

void Config::SetBindAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  bind_address_ = address;
}

int Config::GetHeartBeatTimeout() const { return heart_beat_timeout_.load(); }

void Config::SetHeartBeatTimeout(int milliseconds) { heart_beat_timeout_.exchange(milliseconds); }

}  // namespace crcp
