#pragma once

#include <atomic>
#include <memory>

#include "platform/display/virtual_display_driver.h"
#include "services/video/vdev/vmonitor.h"

namespace VDevUtils {

// The extended screen for the global source controller: opens and closes the virtual
// monitor and keeps the monitor count to wait for once it is open.
class VirtualScreen {
 public:
  enum Result : int {
    kOk = 0,
    kNoMonitorDevice = 1,  // the virtual monitor device is not present
    kUnsupported = 2,      // this system has no way to a virtual monitor
    kFailed = 3,
  };

  // Over the back-end of this run.
  VirtualScreen();
  explicit VirtualScreen(std::shared_ptr<platform::display::VirtualDisplayDriver> driver);

  // A Result; on success the expected monitor count is the count before plus one.
  int Open();
  // A Result; on success the expected count goes back to -1.
  int Close();
  // -1 while closed.
  int ExpectedMonitorCount() const { return expected_monitors_; }

 private:
  static int Fold(int open_result);

  std::shared_ptr<platform::display::VirtualDisplayDriver> driver_;
  VMonitor monitor_;
  std::atomic<int> expected_monitors_{-1};
};

}  // namespace VDevUtils
