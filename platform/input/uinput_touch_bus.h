#pragma once

#include "platform/input/hid_bus.h"

namespace platform::input {

// The Linux bus: one virtual multi-touch device, made with uinput when it is opened.
// It is present (listed) only where /dev/uinput is writable, with the ids and usages
// the touch device looks for, and turns each output report into slot events.
class UinputTouchBus : public IHidBus {
 public:
  static constexpr const char* kPath = "uinput:castora-touch";
  static constexpr uint16_t kVendorId = 0x001F;
  static constexpr uint16_t kProductId = 0xBA1C;
  static constexpr uint16_t kUsagePage = 0xFF00;
  static constexpr uint16_t kUsage = 0x01;

  std::optional<std::vector<HidDeviceInfo>> Enumerate() override;
  std::unique_ptr<IHidDevice> Open(const std::string& path, HidResult& result) override;
};

}  // namespace platform::input
