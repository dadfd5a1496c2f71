#include "platform/display/sim_monitor_plug.h"

#include "platform/backend.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/screen/display_topology.h"
#include "platform/screen/sim_desktop.h"

namespace platform::display {
namespace {
// The size the simulated virtual monitor comes up with, before it is resized.
constexpr int kSimVirtualWidth = 1280;
constexpr int kSimVirtualHeight = 720;
}  // namespace

void ConnectSimulatedMonitorPlug(const std::string& monitor_name) {
  if (SelectedBackend() != Backend::kSimulated) return;
  SimVirtualDisplayDriver::Shared()->SetMonitorPlugCallback([monitor_name](bool on) {
    screen::SimDisplayTopology::PlugMonitor(screen::SimDesktop::Shared(), on, monitor_name,
                                            kSimVirtualWidth, kSimVirtualHeight);
  });
}

}  // namespace platform::display
