#pragma once

#include <optional>
#include <vector>

#include <QString>

// The network hardware address that identifies this computer to the update server.
namespace platform::updater {

// What the choice needs to know about one interface, in the system's order.
struct NetworkInterfaceFacts {
  bool up = false;
  bool running = false;
  bool loopback = false;
  QString hardware_address;  // "AA:BB:CC:DD:EE:FF"
};

// The address of the first interface that is up and running and not the loopback;
// empty when there is none.
QString PickHardwareAddress(const std::vector<NetworkInterfaceFacts>& interfaces);

// The interfaces as QNetworkInterface lists them, unless replaced for a test: by
// SetInterfacesForTesting, or, for a whole process, by RENOVIX_LOOPBACK_ONLY=1 which
// leaves only an up and running loopback interface.
std::vector<NetworkInterfaceFacts> SystemInterfaces();
void SetInterfacesForTesting(std::optional<std::vector<NetworkInterfaceFacts>> interfaces);

inline constexpr char kLoopbackOnlyEnv[] = "RENOVIX_LOOPBACK_ONLY";

// PickHardwareAddress(SystemInterfaces()).
QString HardwareAddress();

}  // namespace platform::updater
