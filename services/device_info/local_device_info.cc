#include "services/device_info/local_device_info.h"

#include "utils/logger.h"

namespace crcp::info {

namespace {
const char* const kLogTag = "windows_get_device_info";

// A failed query, as opposed to "Unknown" for a version the product table lacks.
constexpr const char* kUnknownOsVersion = "unknown";

std::string GetOsVersion(platform::system::ISystemFacts& facts) {
  platform::system::SystemFact version = facts.OsVersion();
  if (!version.ok()) {
    LOG_ERROR("Fail to get os version: {}", version.error);
    return kUnknownOsVersion;
  }
  return version.value;
}

std::string GetComputerNameA(platform::system::ISystemFacts& facts) {
  platform::system::SystemFact name = facts.HostName();
  if (!name.ok()) {
    LOG_ERROR("Fail to get computer name: {}", name.error);
    return {};
  }
  return name.value;
}

std::string GetUserNameA(platform::system::ISystemFacts& facts) {
  platform::system::SystemFact name = facts.UserDisplayName();
  if (!name.ok()) {
    LOG_ERROR("Fail to get user name: {}", name.error);
    return {};
  }
  return name.value;
}
}  // namespace

DeviceInfo GetLocalDeviceInfo(platform::system::ISystemFacts& facts) {
  DeviceInfo info;
  info.os_name = facts.OsName();
  info.os_version = GetOsVersion(facts);
  info.device_name = GetComputerNameA(facts);
  info.user_name = GetUserNameA(facts);
  return info;
}

}  // namespace crcp::info
