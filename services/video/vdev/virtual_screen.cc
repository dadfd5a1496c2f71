#include "services/video/vdev/virtual_screen.h"

#include <chrono>
#include <utility>

#include "platform/display/virtual_display_names.h"

namespace VDevUtils {

VirtualScreen::VirtualScreen() : VirtualScreen(platform::display::CreateVirtualDisplayDriver()) {}

VirtualScreen::VirtualScreen(std::shared_ptr<platform::display::VirtualDisplayDriver> driver)
    : driver_(std::move(driver)), monitor_(driver_) {
  // The helper is tested and started by the same full path, in the program's folder,
  // never looked up in the current directory or the search path.
  monitor_.SetHelperPath(driver_->ApplicationFilePath(platform::display::kHelperExecutable));
}

int VirtualScreen::Fold(int open_result) {
  switch (open_result) {
    case VMonitor::kOpened: return kOk;
    case VMonitor::kMonitorDeviceMissing: return kNoMonitorDevice;
    case VMonitor::kUnsupported: return kUnsupported;
    default: return kFailed;
  }
}

int VirtualScreen::Open() {
  driver_->Sleep(std::chrono::milliseconds(100));
  const int monitors = driver_->MonitorCount();
  // A second open changes nothing, and the count read now already holds the monitor.
  const bool was_open = monitor_.IsOpened();
  const int result = Fold(monitor_.Open());
  if (result == kOk && !was_open) expected_monitors_ = monitors + 1;
  return result;
}

int VirtualScreen::Close() {
  const int result = Fold(monitor_.Close());
  if (result == kOk) expected_monitors_ = -1;
  return result;
}

}  // namespace VDevUtils
