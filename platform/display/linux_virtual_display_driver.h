#pragma once

#include "platform/display/virtual_display_driver.h"

namespace platform::display {

// Linux has no virtual display driver: the version lookup is missing (so the client
// treats the system as unsupported), no device, pipe or helper can be reached, and
// composition is not a switch here. Files and the program's folder are real.
class LinuxVirtualDisplayDriver : public VirtualDisplayDriver {
 public:
  std::optional<NtVersion> GetNtVersion() override { return std::nullopt; }
  std::optional<std::string> GetReleaseId() override { return std::nullopt; }
  std::unique_ptr<DeviceHandle> OpenDevice(const std::string&) override { return nullptr; }
  PipeOpenResult OpenControlPipe(const std::string& name) override;
  bool IsDeviceInstalled(const std::string&, const std::string&) override { return false; }
  bool IsDevicePresentAndWorking(const std::string&, const std::string&) override { return false; }
  std::string FindDeviceInterfacePath(const std::string&) override { return {}; }
  std::string SetupClassName(const std::string&) override { return {}; }
  std::optional<std::string> PrimaryAdapterMatchingDeviceId() override { return std::nullopt; }
  bool IsCompositionEnabled() override { return false; }
  void SetCompositionEnabled(bool) override {}
  std::string ApplicationFilePath(const std::string& file_name) override;
  bool FileExists(const std::string& path) override;
  bool RunAndWait(const std::string&) override { return false; }
  int MonitorCount() override { return 1; }
  void Sleep(std::chrono::milliseconds duration) override;
};

}  // namespace platform::display
