#include "services/remote_input/touch_device.h"

#include <cstring>

#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::touch_device";

constexpr uint8_t kStatusTouching = 7;
constexpr uint8_t kStatusReleased = 4;
constexpr uint16_t kContactWidth = 20;
constexpr uint16_t kContactHeight = 30;
constexpr size_t kFirstContactOffset = 3;
constexpr size_t kSecondContactOffset = 13;
constexpr size_t kCountOffset = 23;
constexpr size_t kContactSize = 10;

void WriteContact(uint8_t* out, const TouchDevice::Contact& c) {
  out[0] = c.status;
  out[1] = c.id;
  const uint16_t fields[4] = {c.x, c.y, c.w, c.h};
  for (int i = 0; i < 4; ++i) {
    out[2 + 2 * i] = static_cast<uint8_t>(fields[i]);
    out[3 + 2 * i] = static_cast<uint8_t>(fields[i] >> 8);
  }
}
}  // namespace

TouchDevice::TouchDevice(platform::input::WindowHandle window,
                         std::shared_ptr<platform::input::IHidBus> bus,
                         std::shared_ptr<platform::input::IWindowSystem> windows)
    : bus_(bus ? std::move(bus) : platform::input::CreateHidBus()),
      windows_(windows ? std::move(windows) : platform::input::CreateWindowSystem()),
      window_(window != platform::input::kNullWindow ? window : windows_->DesktopWindow()) {}

TouchDevice::~TouchDevice() { Close(); }

bool TouchDevice::Open() {
  for (int attempt = 0; attempt < static_cast<int>(kHardwareIds.size()); ++attempt) {
    auto device = SearchMatchingHwID(attempt, kUsagePage, kUsage);
    if (device) {
      device_ = std::move(device);
      return true;
    }
  }
  return false;
}

void TouchDevice::Close() { device_.reset(); }

std::unique_ptr<platform::input::IHidDevice> TouchDevice::SearchMatchingHwID(int attempt,
                                                                            uint16_t usage_page,
                                                                            uint16_t usage) {
  auto devices = bus_->Enumerate();
  if (!devices) {
    LOG_ERROR("SetupDiGetClassDevs failed: {}", "the device bus cannot be listed");
    return nullptr;
  }
  LOG_INFO("....looking for our HID device (with UP={:02X} and Usage={:02X})", usage_page, usage);
  for (const auto& info : *devices) {
    auto device = OpenDeviceInterface(attempt, info, usage_page, usage);
    if (device) return device;
  }
  LOG_ERROR("Failure: Could not find our HID device ");
  return nullptr;
}

std::unique_ptr<platform::input::IHidDevice> TouchDevice::OpenDeviceInterface(
    int attempt, const platform::input::HidDeviceInfo& info, uint16_t usage_page, uint16_t usage) {
  platform::input::HidResult result;
  auto device = bus_->Open(info.path, result);
  if (!device) {
    LOG_ERROR("CreateFile failed: {}", result.error);
    return nullptr;
  }
  if (!CheckIfOurDevice(attempt, *device, usage_page, usage)) {
    LOG_ERROR("Create file but not our device");
    return nullptr;
  }
  return device;
}

bool TouchDevice::CheckIfOurDevice(int attempt, const platform::input::IHidDevice& device,
                                   uint16_t usage_page, uint16_t usage) {
  const auto& info = device.Info();
  const auto& wanted = kHardwareIds[static_cast<size_t>(attempt)];
  if (info.vendor_id != wanted.first || info.product_id != wanted.second) return false;
  if (info.usage_page != usage_page || info.usage != usage) return false;
  LOG_INFO("Found touch device.. ");
  return true;
}

void TouchDevice::AppendCurrent() {
  if (current_ == nullptr) return;
  if (frame_.size() < kMaxFrameContacts) {
    frame_.push_back(*current_);
  } else if (!frame_overflow_) {
    // Once per frame: a peer that never sends EV_SYN must not flood the log either.
    LOG_WARN("Touch frame holds {} contacts without EV_SYN, further contacts dropped",
             frame_.size());
    frame_overflow_ = true;
  }
}

bool TouchDevice::Process(const InputEvent& event) {
  switch (event.type) {
    case ev::kSyn:
      AppendCurrent();
      current_ = nullptr;
      SendFrame();
      frame_.clear();
      frame_overflow_ = false;
      return true;
    case ev::kKey:
      return event.code == ev::kBtnTouch;
    case ev::kAbs:
      switch (event.code) {
        case ev::kAbsMtSlot:
          AppendCurrent();
          current_ = nullptr;
          // The slot number comes from the network: only what the report's one-byte
          // id can carry selects a contact, so the map holds at most 256 entries.
          if (event.value < 0 || event.value > kMaxSlot) {
            LOG_DEBUG("Touch slot {} out of range, ignored", event.value);
            return true;
          }
          current_ = &contacts_[event.value];
          current_->id = static_cast<uint8_t>(event.value);
          current_->status = kStatusTouching;
          return true;
        // Without a selected slot there is no contact to change: consumed, ignored.
        case ev::kAbsMtPositionX:
          if (current_ != nullptr) current_->x = static_cast<uint16_t>(event.value);
          return true;
        case ev::kAbsMtPositionY:
          if (current_ != nullptr) current_->y = static_cast<uint16_t>(event.value);
          return true;
        case ev::kAbsMtTrackingId:
          if (current_ != nullptr && event.value == -1) current_->status = kStatusReleased;
          return true;
        case ev::kAbsMtTouchMajor:
        case ev::kAbsMtTouchMinor:
        case ev::kAbsMtOrientation:
        case ev::kAbsMtPressure:
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

void TouchDevice::SendFrame() {
  if (!windows_->IsWindow(window_)) return;
  for (Contact& c : frame_) {
    c.x = static_cast<uint16_t>(c.x >> 1);
    c.y = static_cast<uint16_t>(c.y >> 1);
    c.w = kContactWidth;
    c.h = kContactHeight;
    LOG_TRACE("Process (id: {}, status: {}, w: {}, h: {})", c.id, c.status, c.x, c.y);
  }
  if (!HidOutput(device_.get(), frame_)) LOG_ERROR("fail to update multi touch");
}

void TouchDevice::FillReport(uint8_t* report, const Contact& first, const Contact* second,
                             uint8_t count) {
  report[0] = 0x40;
  report[1] = 0x16;
  report[2] = 0x01;
  WriteContact(report + kFirstContactOffset, first);
  if (second != nullptr) {
    WriteContact(report + kSecondContactOffset, *second);
  } else {
    std::memset(report + kSecondContactOffset, 0, kContactSize);
  }
  report[kCountOffset] = count;
}

bool TouchDevice::HidOutput(platform::input::IHidDevice* device,
                            const std::vector<Contact>& contacts) {
  if (contacts.empty()) return true;
  if (device == nullptr) {
    LOG_ERROR("failed HidD_SetOutputReport {}", "the touch device is not open");
    return false;
  }
  for (size_t k = 0; k < contacts.size(); k += 2) {
    const Contact* second = k + 1 < contacts.size() ? &contacts[k + 1] : nullptr;
    // The frame is capped at 255 contacts, so the count always fits its byte.
    FillReport(report_.data(), contacts[k], second,
               k == 0 ? static_cast<uint8_t>(contacts.size()) : 0);
    auto result = device->SendOutputReport(report_.data(), report_.size());
    if (!result.ok) {
      LOG_ERROR("failed HidD_SetOutputReport {}", result.error);
      return false;
    }
  }
  return true;
}

}  // namespace crcp::ril
