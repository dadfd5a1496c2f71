#include "platform/system/windows_version.h"

namespace platform::system {

std::string WindowsProductName(uint32_t major, uint32_t minor, bool workstation, bool server_r2) {
  struct Row {
    uint32_t major, minor;
    const char* workstation;
    const char* server;
  };
  static const Row kRows[] = {
      {5, 0, "Windows 2000", "Windows 2000"},
      {5, 1, "Windows XP", "Windows XP"},
      {5, 2, "Windows XP Professional Edition", nullptr},  // server: by the R2 metric
      {6, 0, "Windows Vista", "Windows Server 2008"},
      {6, 1, "Windows 7", "Windows Server 2008 R2"},
      {6, 2, "Windows 8", "Windows Server 2012"},
      {6, 3, "Windows 8.1", "Windows Server 2012 R2"},
      {10, 0, "Windows 10", "Windows Server 2016"},
  };
  for (const Row& row : kRows) {
    if (row.major != major || row.minor != minor) continue;
    if (workstation) return row.workstation;
    if (row.server != nullptr) return row.server;
    return server_r2 ? "Windows Server 2003 R2" : "Windows Server 2003";
  }
  return "Unknown";
}

}  // namespace platform::system
