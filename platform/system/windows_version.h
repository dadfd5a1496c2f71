#pragma once

#include <cstdint>
#include <string>

namespace platform::system {

// The product name of a Windows version, for a Windows back-end of the system facts:
// (major, minor) with whether it is a workstation and, for 5.2 servers, whether the
// R2 metric is set. "Unknown" for a version not in the table (a failed query is the
// caller's "unknown").
std::string WindowsProductName(uint32_t major, uint32_t minor, bool workstation, bool server_r2);

}  // namespace platform::system
