#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/virtual_display_names.h"

// The channels through which the client switches the virtual monitor of the virtual
// display driver on and off: device paths with control codes, the driver service's
// control pipe, the device tests of the setup layer, the helper executable, the
// version lookup, desktop composition and the monitor count. The driver, its service
// and the helper are outside the system; this layer only reaches them.
namespace platform::display {

// An opened device path. Destroying it closes the handle.
class DeviceHandle {
 public:
  virtual ~DeviceHandle() = default;
  // Sends `code` with `input` and no output buffer.
  virtual bool Control(uint32_t code, const std::vector<uint8_t>& input) = 0;
  // The system error of the last failed call.
  virtual uint32_t LastError() const = 0;
};

// The driver service's control pipe: the client writes one byte, the service answers
// one byte. Destroying it closes the pipe.
class ControlPipe {
 public:
  virtual ~ControlPipe() = default;
  virtual bool WriteByte(uint8_t byte) = 0;
  virtual bool ReadByte(uint8_t* byte) = 0;
  virtual uint32_t LastError() const = 0;
};

enum class PipeOpenStatus { kOpened, kAccessDenied, kFailed };

struct PipeOpenResult {
  PipeOpenStatus status = PipeOpenStatus::kFailed;
  uint32_t error = 0;                 // the system error when not opened
  std::unique_ptr<ControlPipe> pipe;  // set when opened
};

struct NtVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

class VirtualDisplayDriver {
 public:
  virtual ~VirtualDisplayDriver() = default;

  // The NT layer's version numbers; nullopt when the lookup does not exist.
  virtual std::optional<NtVersion> GetNtVersion() = 0;
  // "ReleaseId" of the current-version key (multi-strings joined with ";");
  // nullopt when it cannot be read.
  virtual std::optional<std::string> GetReleaseId() = 0;

  // Opens a device path for reading and writing, unshared; null on failure.
  virtual std::unique_ptr<DeviceHandle> OpenDevice(const std::string& path) = 0;
  virtual PipeOpenResult OpenControlPipe(const std::string& name) = 0;

  // A device of the setup class (all classes when empty) whose first hardware id,
  // upper-cased, equals or contains `hardware_id` upper-cased (1 to 259 characters).
  virtual bool IsDeviceInstalled(const std::string& hardware_id, const std::string& setup_class) = 0;
  // The same among present devices, and its node reports no problem.
  virtual bool IsDevicePresentAndWorking(const std::string& hardware_id,
                                         const std::string& setup_class) = 0;
  // The path of a present interface of the interface class; empty when none.
  virtual std::string FindDeviceInterfacePath(const std::string& interface_class) = 0;
  // The name of a setup class ("Display" for the display class); empty when unknown.
  virtual std::string SetupClassName(const std::string& setup_class) = 0;
  // "MatchingDeviceId" of the first display adapter that is attached to the desktop
  // and primary: empty when the value cannot be read, nullopt when there is no such
  // adapter.
  virtual std::optional<std::string> PrimaryAdapterMatchingDeviceId() = 0;

  virtual bool IsCompositionEnabled() = 0;
  virtual void SetCompositionEnabled(bool enabled) = 0;

  // `file_name` inside the folder of the running program; the bare name when that
  // folder cannot be found.
  virtual std::string ApplicationFilePath(const std::string& file_name) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Starts the command line and waits for it to end; false when it did not start.
  virtual bool RunAndWait(const std::string& command_line) = 0;

  virtual int MonitorCount() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;

  // The TCP port of the driver service's loopback control (127.0.0.1).
  virtual uint16_t LoopbackControlPort() { return kLoopbackControlPort; }
};

// Upper-cased `first_hardware_id` equals or contains upper-cased `wanted`.
bool HardwareIdMatches(const std::string& first_hardware_id, const std::string& wanted);

// The back-end for this run: the simulated driver (one per process) under
// CASTORA_PLATFORM=sim, otherwise the Linux one, which has no virtual display driver.
std::shared_ptr<VirtualDisplayDriver> CreateVirtualDisplayDriver();

}  // namespace platform::display
