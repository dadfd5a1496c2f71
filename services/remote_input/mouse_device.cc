#include "services/remote_input/mouse_device.h"

#include <algorithm>
#include <limits>

#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::windows_mouse_device";
namespace mf = platform::input::mouse_flags;
}  // namespace

MouseDevice::MouseDevice(std::shared_ptr<platform::input::IMouseInjector> injector)
    : injector_(injector ? std::move(injector) : platform::input::CreateMouseInjector()) {}

bool MouseDevice::Open() {
  open_.exchange(true);
  return true;
}

void MouseDevice::Close() { open_.exchange(false); }

int32_t MouseDevice::WheelData(int32_t notches) {
  const int64_t data = static_cast<int64_t>(notches) * platform::input::kWheelDelta;
  return static_cast<int32_t>(std::clamp<int64_t>(data, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool MouseDevice::Process(const InputEvent& event) {
  switch (event.type) {
    case ev::kSyn:
      injector_->Inject(flags_, dx_, dy_, data_);
      LOG_TRACE("mouse event, flag: {}, dx: {}, dy: {}, data: {}", flags_, dx_, dy_, data_);
      flags_ = 0;
      dx_ = dy_ = data_ = 0;
      return true;
    case ev::kKey: {
      const bool down = event.value == 1;
      switch (event.code) {
        case ev::kBtnLeft:
          flags_ |= down ? mf::kLeftDown : mf::kLeftUp;
          return true;
        case ev::kBtnRight:
          flags_ |= down ? mf::kRightDown : mf::kRightUp;
          return true;
        case ev::kBtnMiddle:
          flags_ |= down ? mf::kMiddleDown : mf::kMiddleUp;
          return true;
        default:
          return false;
      }
    }
    case ev::kRel:
      switch (event.code) {
        case ev::kRelX:
          flags_ |= mf::kMove;
          dx_ = event.value;
          return true;
        case ev::kRelY:
          flags_ |= mf::kMove;
          dy_ = event.value;
          return true;
        case ev::kRelWheel:
          flags_ |= mf::kWheel;
          data_ = WheelData(event.value);
          return true;
        default:
          return false;
      }
    case ev::kAbsolutePointer:
      // The absolute flag is taken before the code is looked at, so an unknown code
      // still leaves it pending for the frame.
      flags_ |= mf::kAbsolute;
      switch (event.code) {
        case 0:
          flags_ |= mf::kMove;
          dx_ = event.value;
          return true;
        case 1:
          flags_ |= mf::kMove;
          dy_ = event.value;
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

}  // namespace crcp::ril
