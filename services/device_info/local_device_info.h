#pragma once

#include "platform/system/system_facts.h"
#include "services/device_info/device_info.h"

namespace crcp::info {

// This computer's properties as offered to the receiver. Every failed fact is logged
// and yields an empty value ("unknown" for the OS version); gathering never fails.
// `version` is left for the caller.
DeviceInfo GetLocalDeviceInfo(platform::system::ISystemFacts& facts);

}  // namespace crcp::info
