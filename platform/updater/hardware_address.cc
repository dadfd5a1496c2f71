#include "platform/updater/hardware_address.h"

#include <mutex>

#include <QNetworkInterface>

namespace platform::updater {

namespace {
std::mutex g_override_mutex;
std::optional<std::vector<NetworkInterfaceFacts>> g_override;
}  // namespace

QString PickHardwareAddress(const std::vector<NetworkInterfaceFacts>& interfaces) {
  for (const NetworkInterfaceFacts& facts : interfaces) {
    if (facts.up && facts.running && !facts.loopback) return facts.hardware_address;
  }
  return QString();
}

void SetInterfacesForTesting(std::optional<std::vector<NetworkInterfaceFacts>> interfaces) {
  std::lock_guard<std::mutex> lock(g_override_mutex);
  g_override = std::move(interfaces);
}

std::vector<NetworkInterfaceFacts> SystemInterfaces() {
  {
    std::lock_guard<std::mutex> lock(g_override_mutex);
    if (g_override) return *g_override;
  }
  if (qEnvironmentVariable(kLoopbackOnlyEnv) == QLatin1String("1")) {
    return {NetworkInterfaceFacts{true, true, true, QStringLiteral("00:00:00:00:00:00")}};
  }
  std::vector<NetworkInterfaceFacts> result;
  for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
    const QNetworkInterface::InterfaceFlags flags = iface.flags();
    result.push_back({flags.testFlag(QNetworkInterface::IsUp),
                      flags.testFlag(QNetworkInterface::IsRunning),
                      flags.testFlag(QNetworkInterface::IsLoopBack), iface.hardwareAddress()});
  }
  return result;
}

QString HardwareAddress() { return PickHardwareAddress(SystemInterfaces()); }

}  // namespace platform::updater
