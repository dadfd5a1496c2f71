#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The HID bus the touch device is looked for on: list the present devices, open one
// by its path, send it output reports.
namespace platform::input {

// What the bus tells about a device: its path and, once opened, its attributes
// (vendor and product id) and top-level capabilities (usage page and usage).
struct HidDeviceInfo {
  std::string path;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t usage_page = 0;
  uint16_t usage = 0;
};

// Success, or the failure with the system's error text for the log.
struct HidResult {
  bool ok = true;
  std::string error;
  static HidResult Ok() { return {}; }
  static HidResult Fail(std::string why) { return {false, std::move(why)}; }
};

class IHidDevice {
 public:
  virtual ~IHidDevice() = default;
  // Attributes and capabilities read from the opened device.
  virtual const HidDeviceInfo& Info() const = 0;
  virtual HidResult SendOutputReport(const uint8_t* report, size_t size) = 0;
};

class IHidBus {
 public:
  virtual ~IHidBus() = default;
  // The present devices; nullopt when the bus cannot be listed at all.
  virtual std::optional<std::vector<HidDeviceInfo>> Enumerate() = 0;
  // Opens the device at `path` for writing; null with `result` filled on failure.
  virtual std::unique_ptr<IHidDevice> Open(const std::string& path, HidResult& result) = 0;
};

// The bus of the selected back-end: under CASTORA_PLATFORM=sim a simulated bus holding
// one recording touch device that logs every report; otherwise the Linux bus, on which
// the virtual touch device is present only where /dev/uinput is writable.
std::shared_ptr<IHidBus> CreateHidBus();

}  // namespace platform::input
