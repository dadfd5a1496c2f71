#include "platform/input/uinput_touch_bus.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/input/touch_report_translator.h"
#include "platform/screen/shared_area.h"

namespace platform::input {

namespace {
constexpr const char* kUinputNode = "/dev/uinput";

HidDeviceInfo TouchInfo() {
  return {UinputTouchBus::kPath, UinputTouchBus::kVendorId, UinputTouchBus::kProductId,
          UinputTouchBus::kUsagePage, UinputTouchBus::kUsage};
}

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The root window of the display in DISPLAY: the area the X server spreads a direct
// touch device over. Asked at every report, as a screen resize may come without any
// change of the monitors; nothing where no display can be opened.
class XRootWindow {
 public:
  XRootWindow() : display_(XOpenDisplay(nullptr)) {}
  ~XRootWindow() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  XRootWindow(const XRootWindow&) = delete;
  XRootWindow& operator=(const XRootWindow&) = delete;

  std::optional<screen::Rect> Current() const {
    if (display_ == nullptr) return std::nullopt;
    Window root = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display_, DefaultRootWindow(display_), &root, &x, &y, &width, &height,
                      &border, &depth))
      return std::nullopt;
    return screen::Rect{0, 0, static_cast<int>(width), static_cast<int>(height)};
  }

 private:
  Display* const display_;
};

class UinputTouchDevice : public IHidDevice {
 public:
  explicit UinputTouchDevice(int fd) : fd_(fd), info_(TouchInfo()) {}
  ~UinputTouchDevice() override {
    ::ioctl(fd_, UI_DEV_DESTROY);
    ::close(fd_);
  }

  const HidDeviceInfo& Info() const override { return info_; }

  HidResult SendOutputReport(const uint8_t* report, size_t size) override {
    if (const auto shared = screen::SharedArea::Instance().Current()) {
      translator_.SetArea(shared->monitor, shared->desktop, root_.Current());
    } else {
      translator_.ClearArea();
    }
    const std::vector<TouchInputEvent> events = translator_.Translate(report, size);
    if (events.empty()) return HidResult::Ok();
    std::vector<input_event> raw(events.size());
    for (size_t i = 0; i < events.size(); ++i) {
      std::memset(&raw[i], 0, sizeof raw[i]);
      raw[i].type = events[i].type;
      raw[i].code = events[i].code;
      raw[i].value = events[i].value;
    }
    const size_t bytes = raw.size() * sizeof(input_event);
    ssize_t written;
    do {
      written = ::write(fd_, raw.data(), bytes);
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(bytes)) return HidResult::Fail(Errno("write"));
    return HidResult::Ok();
  }

 private:
  const int fd_;
  const HidDeviceInfo info_;
  const XRootWindow root_;
  TouchReportTranslator translator_;
};

bool SetupAbs(int fd, uint16_t code, int32_t max) {
  uinput_abs_setup abs;
  std::memset(&abs, 0, sizeof abs);
  abs.code = code;
  abs.absinfo.minimum = 0;
  abs.absinfo.maximum = max;
  return ::ioctl(fd, UI_ABS_SETUP, &abs) == 0;
}

// A direct (screen-mapped) protocol B touch screen over 0..32767 on both axes, the
// range of the halved coordinates in the reports. The display server spreads it over
// its root window; the translator moves each touch into the shared monitor.
bool Configure(int fd) {
  const int32_t max = TouchReportTranslator::kMaxCoordinate;
  bool ok = ::ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0 && ::ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 &&
            ::ioctl(fd, UI_SET_EVBIT, EV_ABS) == 0 && ::ioctl(fd, UI_SET_KEYBIT, BTN_TOUCH) == 0 &&
            ::ioctl(fd, UI_SET_PROPBIT, INPUT_PROP_DIRECT) == 0;
  for (uint16_t code : {ABS_X, ABS_Y, ABS_MT_SLOT, ABS_MT_TRACKING_ID, ABS_MT_POSITION_X,
                        ABS_MT_POSITION_Y})
    ok = ok && ::ioctl(fd, UI_SET_ABSBIT, code) == 0;
  ok = ok && SetupAbs(fd, ABS_X, max) && SetupAbs(fd, ABS_Y, max) &&
       SetupAbs(fd, ABS_MT_POSITION_X, max) && SetupAbs(fd, ABS_MT_POSITION_Y, max) &&
       SetupAbs(fd, ABS_MT_SLOT, TouchReportTranslator::kSlots - 1) &&
       SetupAbs(fd, ABS_MT_TRACKING_ID, 0xFFFF);
  if (!ok) return false;
  uinput_setup setup;
  std::memset(&setup, 0, sizeof setup);
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = UinputTouchBus::kVendorId;
  setup.id.product = UinputTouchBus::kProductId;
  std::strncpy(setup.name, "Castora virtual touch", UINPUT_MAX_NAME_SIZE - 1);
  return ::ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ::ioctl(fd, UI_DEV_CREATE) == 0;
}
}  // namespace

std::optional<std::vector<HidDeviceInfo>> UinputTouchBus::Enumerate() {
  std::vector<HidDeviceInfo> out;
  if (::access(kUinputNode, W_OK) == 0) out.push_back(TouchInfo());
  return out;
}

std::unique_ptr<IHidDevice> UinputTouchBus::Open(const std::string& path, HidResult& result) {
  if (path != kPath) {
    result = HidResult::Fail("no such device");
    return nullptr;
  }
  const int fd = ::open(kUinputNode, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result = HidResult::Fail(Errno("open /dev/uinput"));
    return nullptr;
  }
  if (!Configure(fd)) {
    result = HidResult::Fail(Errno("uinput set-up"));
    ::close(fd);
    return nullptr;
  }
  result = HidResult::Ok();
  return std::make_unique<UinputTouchDevice>(fd);
}

}  // namespace platform::input
