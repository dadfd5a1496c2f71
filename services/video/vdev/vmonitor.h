#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/virtual_display_driver.h"

namespace VDevUtils {

// Switches the virtual display driver's monitor on and off, by the way the Windows
// version allows: the display filter device (7, 8, 8.1), or the virtual bus plus the
// driver service's one-byte control exchange over its pipe or, when the pipe is
// denied, over loopback TCP (10 from 1607 on). Open, Close and destruction are
// serialised by the implementation's mutex.
class VMonitor {
 public:
  enum OpenResult : int {
    kOpened = 0,
    kFilterMissing = 1,
    kBusNotInstalled = 2,
    kMonitorDeviceMissing = 3,
    kHelperMissing = 4,
    kUnsupported = 5,
    kHelperFailed = 7,  // the helper did not bring the bus up
    kFailed = 8,
  };

  // How Windows is classed: 0 unsupported, 1 the filter way (6.1 to 6.3), 2 the filter
  // way then the bus way (10 1607), 3 the bus way (10 after 1607).
  static int WindowsClass(const std::optional<platform::display::NtVersion>& version,
                          const std::optional<std::string>& release_id);
  // The 16-byte input of the plug-in control code.
  static std::array<uint8_t, 16> PlugInRecord();
  // The 256-byte input of the filter control code: the first 21 UTF-16 characters
  // (the length of "PCI\VEN_XXXX&DEV_XXXX") of the upper-cased matching device id.
  static std::vector<uint8_t> FilterInput(const std::string& matching_device_id);

  explicit VMonitor(std::shared_ptr<platform::display::VirtualDisplayDriver> driver);
  ~VMonitor();

  VMonitor(const VMonitor&) = delete;
  VMonitor& operator=(const VMonitor&) = delete;

  void SetHelperPath(const std::string& path);
  // 0 at once when already open; otherwise an OpenResult.
  int Open();
  // The close action's result (0) when open; 0 when not open.
  int Close();
  bool IsOpened() const;

  class Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace VDevUtils
