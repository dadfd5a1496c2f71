#include "platform/display/virtual_display_driver.h"

#include <algorithm>
#include <cctype>

#include "platform/backend.h"
#include "platform/display/linux_virtual_display_driver.h"
#include "platform/display/sim_virtual_display_driver.h"

namespace platform::display {
namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

}  // namespace

bool HardwareIdMatches(const std::string& first_hardware_id, const std::string& wanted) {
  if (wanted.empty()) return false;
  return Upper(first_hardware_id).find(Upper(wanted)) != std::string::npos;
}

std::shared_ptr<VirtualDisplayDriver> CreateVirtualDisplayDriver() {
  if (SelectedBackend() == Backend::kSimulated) return SimVirtualDisplayDriver::Shared();
  return std::make_shared<LinuxVirtualDisplayDriver>();
}

}  // namespace platform::display
