#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/input/hid_bus.h"
#include "platform/input/window_system.h"
#include "services/remote_input/i_input_device.h"

namespace crcp::ril {

// Drives the virtual HID multi-touch device. It gathers the receiver's protocol B
// events by slot and at every EV_SYN sends the frame's contacts, two per 65-byte
// output report:
//   0 report id 0x40, 1 0x16, 2 0x01,
//   3 contact k, 13 contact k+1 (or ten zero bytes),
//   23 the frame's contact count in the first report of a frame, 0 in the later ones,
//   24..64 zero.
// A contact is status (7 touching, 4 released), id (the slot), then x, y, w (20) and
// h (30) as little-endian u16, x and y halved.
class TouchDevice : public IInputDevice {
 public:
  struct Contact {
    uint8_t status = 0;
    uint8_t id = 0;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t w = 0;
    uint16_t h = 0;
  };

  static constexpr size_t kReportSize = 65;
  static constexpr uint16_t kUsagePage = 0xFF00;
  static constexpr uint16_t kUsage = 0x01;
  // The vendor and product ids the device may carry, tried in this order.
  static constexpr std::array<std::pair<uint16_t, uint16_t>, 5> kHardwareIds = {{
      {0x001F, 0xBA1C}, {0x002F, 0xBA2C}, {0x003F, 0xBA3C}, {0x004F, 0xBA4C}, {0x005F, 0xBA5C}}};
  // Slots are one byte in the report; the frame is bounded by what its count byte holds.
  static constexpr int kMaxSlot = 255;
  static constexpr size_t kMaxFrameContacts = 255;

  // A null window stands for the desktop window. Null bus or window system: the ones
  // of the selected platform back-end.
  explicit TouchDevice(platform::input::WindowHandle window = platform::input::kNullWindow,
                       std::shared_ptr<platform::input::IHidBus> bus = nullptr,
                       std::shared_ptr<platform::input::IWindowSystem> windows = nullptr);
  ~TouchDevice() override;

  int GetType() override { return kTouch; }
  bool Open() override;
  void Close() override;
  bool Process(const InputEvent& event) override;

  // Writes contact k and k+1 (null: none) and the count byte into a 65-byte report.
  static void FillReport(uint8_t* report, const Contact& first, const Contact* second,
                         uint8_t count);

 private:
  std::unique_ptr<platform::input::IHidDevice> SearchMatchingHwID(int attempt, uint16_t usage_page,
                                                                  uint16_t usage);
  std::unique_ptr<platform::input::IHidDevice> OpenDeviceInterface(
      int attempt, const platform::input::HidDeviceInfo& info, uint16_t usage_page, uint16_t usage);
  bool CheckIfOurDevice(int attempt, const platform::input::IHidDevice& device,
                        uint16_t usage_page, uint16_t usage);
  bool HidOutput(platform::input::IHidDevice* device, const std::vector<Contact>& contacts);
  void SendFrame();
  void AppendCurrent();

  std::shared_ptr<platform::input::IHidBus> bus_;
  std::shared_ptr<platform::input::IWindowSystem> windows_;
  std::unique_ptr<platform::input::IHidDevice> device_;
  std::array<uint8_t, kReportSize> report_{};
  platform::input::WindowHandle window_;
  std::unordered_map<int, Contact> contacts_;
  std::vector<Contact> frame_;
  Contact* current_ = nullptr;  // node of contacts_, stable across rehashing
  bool frame_overflow_ = false;
};

}  // namespace crcp::ril
