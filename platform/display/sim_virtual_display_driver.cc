#include "platform/display/sim_virtual_display_driver.h"

#include <algorithm>
#include <cctype>

#include "platform/display/virtual_display_names.h"

namespace platform::display {
namespace {

const char* const kSimBusInterfacePath =
    "\\\\?\\root#vmonitorbus#0000#{4bc4df72-e899-4346-a8ae-eff44419f2c6}";
const char* const kSimApplicationFolder = "C:\\Program Files\\Castora\\";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

struct SimVirtualDisplayDriver::State {
  std::mutex mutex;
  Script script;
  Record record;
  int monitor_holders = 0;  // open handles whose exchange switched the monitor on
  std::function<void(bool)> callback;

  const Device* FindDevice(const std::string& id, const std::string& setup_class, bool present) {
    for (const Device& d : script.devices) {
      if (!setup_class.empty() && d.setup_class != setup_class) continue;
      if (present && !d.present) continue;
      if (HardwareIdMatches(d.hardware_id, id)) return &d;
    }
    return nullptr;
  }
  bool BusWorking() {
    const Device* bus = FindDevice(kBusHardwareId, kSystemSetupClass, true);
    return bus != nullptr && !bus->has_problem;
  }

  // Both return the callback to run once the lock is released (empty: no change).
  std::function<void(bool)> HoldMonitor() {
    return ++monitor_holders == 1 ? callback : nullptr;
  }
  std::function<void(bool)> ReleaseMonitor() {
    return --monitor_holders == 0 ? callback : nullptr;
  }
};

namespace {

using State = SimVirtualDisplayDriver::State;

class SimDevice : public DeviceHandle {
 public:
  enum class Kind { kFilter, kBus };
  SimDevice(std::shared_ptr<State> state, Kind kind) : state_(std::move(state)), kind_(kind) {}
  ~SimDevice() override {
    std::function<void(bool)> notify;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      --state_->record.open_handles;
      if (holds_monitor_) notify = state_->ReleaseMonitor();
    }
    if (notify) notify(false);
  }
  bool Control(uint32_t code, const std::vector<uint8_t>& input) override {
    std::function<void(bool)> notify;
    bool ok;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->record.controls.emplace_back(code, input);
      if (kind_ == Kind::kFilter) {
        ok = code == kFilterControlCode && input.size() == 256 && state_->script.filter_control_ok;
        if (ok && !holds_monitor_) {
          holds_monitor_ = true;
          notify = state_->HoldMonitor();
        }
      } else {
        // Plugging only adds the monitor device; the service switches it on.
        ok = code == kPlugInControlCode && input.size() == 16 && state_->script.bus_control_ok;
      }
      last_error_ = ok ? 0 : 31;  // "a device attached to the system is not functioning"
    }
    if (notify) notify(true);
    return ok;
  }
  uint32_t LastError() const override { return last_error_; }

 private:
  std::shared_ptr<State> state_;
  const Kind kind_;
  bool holds_monitor_ = false;
  uint32_t last_error_ = 0;
};

class SimPipe : public ControlPipe {
 public:
  explicit SimPipe(std::shared_ptr<State> state) : state_(std::move(state)) {}
  ~SimPipe() override {
    std::function<void(bool)> notify;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      --state_->record.open_handles;
      if (holds_monitor_) notify = state_->ReleaseMonitor();
    }
    if (notify) notify(false);
  }
  bool WriteByte(uint8_t byte) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->record.pipe_bytes.push_back(byte);
    written_ = byte;
    last_error_ = state_->script.pipe_write_ok ? 0 : 232;  // the pipe is being closed
    return state_->script.pipe_write_ok;
  }
  bool ReadByte(uint8_t* byte) override {
    std::function<void(bool)> notify;
    bool ok;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      ok = state_->script.pipe_read_ok && written_ == kControlRequest;
      last_error_ = ok ? 0 : 109;  // the pipe has been ended
      if (ok) {
        *byte = state_->script.pipe_answer;
        if (*byte == kControlAccepted && !holds_monitor_) {
          holds_monitor_ = true;
          notify = state_->HoldMonitor();
        }
      }
    }
    if (notify) notify(true);
    return ok;
  }
  uint32_t LastError() const override { return last_error_; }

 private:
  std::shared_ptr<State> state_;
  int written_ = -1;
  bool holds_monitor_ = false;
  uint32_t last_error_ = 0;
};

}  // namespace

std::vector<SimDisplayDevice> DefaultSimDisplayDevices() {
  return {
      SimDisplayDevice{kSystemSetupClass, "ROOT\\VMONITORBUS", true, false},
      SimDisplayDevice{kHidSetupClass, "HID\\VID_2E5A&PID_0C41&REV_0100", true, false},
  };
}

SimVirtualDisplayDriver::SimVirtualDisplayDriver(Script script) : state_(std::make_shared<State>()) {
  state_->script = std::move(script);
}

SimVirtualDisplayDriver::~SimVirtualDisplayDriver() = default;

std::shared_ptr<SimVirtualDisplayDriver> SimVirtualDisplayDriver::Shared() {
  static const auto instance = std::make_shared<SimVirtualDisplayDriver>();
  return instance;
}

void SimVirtualDisplayDriver::SetScript(Script script) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->script = std::move(script);
}

SimVirtualDisplayDriver::Script SimVirtualDisplayDriver::script() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script;
}

SimVirtualDisplayDriver::Record SimVirtualDisplayDriver::record() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->record;
}

bool SimVirtualDisplayDriver::virtual_monitor_on() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->monitor_holders > 0;
}

void SimVirtualDisplayDriver::SetMonitorPlugCallback(std::function<void(bool on)> callback) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->callback = std::move(callback);
}

std::optional<NtVersion> SimVirtualDisplayDriver::GetNtVersion() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.version;
}

std::optional<std::string> SimVirtualDisplayDriver::GetReleaseId() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.release_id;
}

std::unique_ptr<DeviceHandle> SimVirtualDisplayDriver::OpenDevice(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->record.opened_paths.push_back(path);
  std::unique_ptr<DeviceHandle> handle;
  if (path == kFilterDevicePath && state_->script.filter_device) {
    handle = std::make_unique<SimDevice>(state_, SimDevice::Kind::kFilter);
  } else if (path == kSimBusInterfacePath && state_->script.bus_open_ok && state_->BusWorking()) {
    handle = std::make_unique<SimDevice>(state_, SimDevice::Kind::kBus);
  }
  if (handle) ++state_->record.open_handles;
  return handle;
}

PipeOpenResult SimVirtualDisplayDriver::OpenControlPipe(const std::string& name) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  PipeOpenResult result;
  if (name != kControlPipeName) {
    result.status = PipeOpenStatus::kFailed;
    result.error = 2;  // not found
    return result;
  }
  result.status = state_->script.pipe_status;
  if (result.status == PipeOpenStatus::kOpened) {
    result.pipe = std::make_unique<SimPipe>(state_);
    ++state_->record.open_handles;
  } else {
    result.error = state_->script.pipe_error;
  }
  return result;
}

bool SimVirtualDisplayDriver::IsDeviceInstalled(const std::string& hardware_id,
                                                const std::string& setup_class) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (hardware_id.empty() || hardware_id.size() > 259) return false;
  return state_->FindDevice(hardware_id, setup_class, false) != nullptr;
}

bool SimVirtualDisplayDriver::IsDevicePresentAndWorking(const std::string& hardware_id,
                                                        const std::string& setup_class) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (hardware_id.empty() || hardware_id.size() > 259) return false;
  const Device* d = state_->FindDevice(hardware_id, setup_class, true);
  return d != nullptr && !d->has_problem;
}

std::string SimVirtualDisplayDriver::FindDeviceInterfacePath(const std::string& interface_class) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (interface_class == kBusInterfaceClass && state_->script.bus_interface && state_->BusWorking())
    return kSimBusInterfacePath;
  return {};
}

std::string SimVirtualDisplayDriver::SetupClassName(const std::string& setup_class) {
  if (setup_class == kDisplaySetupClass) return "Display";
  if (setup_class == kSystemSetupClass) return "System";
  if (setup_class == kHidSetupClass) return "HIDClass";
  return {};
}

std::optional<std::string> SimVirtualDisplayDriver::PrimaryAdapterMatchingDeviceId() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.matching_device_id;
}

bool SimVirtualDisplayDriver::IsCompositionEnabled() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.composition_enabled;
}

void SimVirtualDisplayDriver::SetCompositionEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->script.composition_enabled = enabled;
  state_->record.composition_changes.push_back(enabled);
}

std::string SimVirtualDisplayDriver::ApplicationFilePath(const std::string& file_name) {
  return kSimApplicationFolder + file_name;
}

bool SimVirtualDisplayDriver::FileExists(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return EndsWith(path, kHelperExecutable) && state_->script.helper_exists;
}

bool SimVirtualDisplayDriver::RunAndWait(const std::string& command_line) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->record.command_lines.push_back(command_line);
  Script& s = state_->script;
  if (!s.helper_exists) return false;
  if (command_line.find(" enable =") != std::string::npos) {
    if (s.helper_installs_filter) s.filter_device = true;
  } else if (command_line.find(" enable ") != std::string::npos && s.helper_repairs_bus) {
    for (Device& d : s.devices) {
      if (d.setup_class == kSystemSetupClass && HardwareIdMatches(d.hardware_id, kBusHardwareId)) {
        d.present = true;
        d.has_problem = false;
      }
    }
  }
  return true;
}

int SimVirtualDisplayDriver::MonitorCount() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.monitor_count + (state_->monitor_holders > 0 ? 1 : 0);
}

uint16_t SimVirtualDisplayDriver::LoopbackControlPort() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->script.loopback_port;
}

void SimVirtualDisplayDriver::Sleep(std::chrono::milliseconds duration) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->record.sleeps_ms.push_back(duration.count());
}

}  // namespace platform::display
