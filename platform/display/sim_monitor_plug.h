#pragma once

#include <string>

namespace platform::display {

// Under the simulated platform: the simulated virtual display driver plugs a monitor
// of the given name into the simulated desktop when it is switched on (and pulls it out
// again when switched off), so that the extended screen can be captured end to end.
// Does nothing under the real platform.
void ConnectSimulatedMonitorPlug(const std::string& monitor_name);

}  // namespace platform::display
