#pragma once

#include <string>

namespace crcp::info {

// Who a side of a session is: the members of a device-info offer, UTF-8.
struct DeviceInfo {
  std::string os_name;      // "osName"
  std::string os_version;   // "osVersion"
  std::string device_name;  // "deviceName"
  std::string user_name;    // "userName"
  std::string version;      // "version"
};

}  // namespace crcp::info
