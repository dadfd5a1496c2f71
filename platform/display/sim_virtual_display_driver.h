#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/display/virtual_display_driver.h"

namespace platform::display {

struct SimDisplayDevice {
  std::string setup_class;
  std::string hardware_id;  // the first hardware id
  bool present = true;
  bool has_problem = false;
};

std::vector<SimDisplayDevice> DefaultSimDisplayDevices();

// The default is a Windows 10 1909 system with the bus and the virtual monitor
// device installed and the service answering "A" on the pipe.
struct SimDisplayScript {
  std::optional<NtVersion> version = NtVersion{10, 0, 18363};
  std::optional<std::string> release_id = std::string("1909");
  bool filter_device = false;               // the filter device path opens
  bool helper_installs_filter = false;      // the helper's "enable =" makes it open
  bool filter_control_ok = true;
  bool bus_interface = true;                // a working bus registers its interface
  bool bus_open_ok = true;
  bool bus_control_ok = true;
  bool helper_exists = true;
  bool helper_repairs_bus = true;           // the helper's "enable" clears the bus's problem
  PipeOpenStatus pipe_status = PipeOpenStatus::kOpened;
  uint32_t pipe_error = 5;                  // reported when not opened
  bool pipe_write_ok = true;
  bool pipe_read_ok = true;
  uint8_t pipe_answer = 'A';
  std::optional<std::string> matching_device_id = std::string("pci\\ven_8086&dev_5917&subsys_22128086");
  bool composition_enabled = true;
  int monitor_count = 1;                    // without the virtual monitor
  uint16_t loopback_port = kLoopbackControlPort;  // tests use an ephemeral port
  std::vector<SimDisplayDevice> devices = DefaultSimDisplayDevices();
};

// What the client did, for tests.
struct SimDisplayRecord {
  std::vector<std::string> command_lines;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> controls;
  std::vector<bool> composition_changes;
  std::vector<uint8_t> pipe_bytes;
  std::vector<std::string> opened_paths;
  int open_handles = 0;  // devices and pipes not yet closed
  std::vector<int64_t> sleeps_ms;
};

// A deterministic virtual display driver whose every answer is scripted. It plays the
// driver's part: a successful filter control call, or an "A" answered on the control
// pipe, switches the virtual monitor on until that handle is closed. The TCP
// fallback is real TCP and is not simulated here.
class SimVirtualDisplayDriver : public VirtualDisplayDriver {
 public:
  using Device = SimDisplayDevice;
  using Script = SimDisplayScript;
  using Record = SimDisplayRecord;

  explicit SimVirtualDisplayDriver(Script script = Script());
  ~SimVirtualDisplayDriver() override;

  // The process-wide instance that CreateVirtualDisplayDriver hands out under
  // CASTORA_PLATFORM=sim.
  static std::shared_ptr<SimVirtualDisplayDriver> Shared();

  void SetScript(Script script);
  Script script() const;
  Record record() const;
  bool virtual_monitor_on() const;

  // The hook for the simulated desktop: called with true when the virtual monitor is
  // switched on and false when it goes, on the thread that caused it, without any
  // lock of the driver held.
  void SetMonitorPlugCallback(std::function<void(bool on)> callback);

  std::optional<NtVersion> GetNtVersion() override;
  std::optional<std::string> GetReleaseId() override;
  std::unique_ptr<DeviceHandle> OpenDevice(const std::string& path) override;
  PipeOpenResult OpenControlPipe(const std::string& name) override;
  bool IsDeviceInstalled(const std::string& hardware_id, const std::string& setup_class) override;
  bool IsDevicePresentAndWorking(const std::string& hardware_id,
                                 const std::string& setup_class) override;
  std::string FindDeviceInterfacePath(const std::string& interface_class) override;
  std::string SetupClassName(const std::string& setup_class) override;
  std::optional<std::string> PrimaryAdapterMatchingDeviceId() override;
  bool IsCompositionEnabled() override;
  void SetCompositionEnabled(bool enabled) override;
  std::string ApplicationFilePath(const std::string& file_name) override;
  bool FileExists(const std::string& path) override;
  bool RunAndWait(const std::string& command_line) override;
  int MonitorCount() override;
  uint16_t LoopbackControlPort() override;
  void Sleep(std::chrono::milliseconds duration) override;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace platform::display
