#pragma once

#include <cstdint>
#include <memory>

// Synthetic mouse input with the flag bits of the classic mouse-event call: one call
// carries a move (relative, or absolute 0..65535 over the shared monitor), button
// transitions and a wheel amount in units of 120 per notch.
namespace platform::input {

namespace mouse_flags {
constexpr uint32_t kMove = 0x0001;
constexpr uint32_t kLeftDown = 0x0002;
constexpr uint32_t kLeftUp = 0x0004;
constexpr uint32_t kRightDown = 0x0008;
constexpr uint32_t kRightUp = 0x0010;
constexpr uint32_t kMiddleDown = 0x0020;
constexpr uint32_t kMiddleUp = 0x0040;
constexpr uint32_t kWheel = 0x0800;
constexpr uint32_t kAbsolute = 0x8000;
}  // namespace mouse_flags

constexpr int32_t kWheelDelta = 120;

class IMouseInjector {
 public:
  virtual ~IMouseInjector() = default;
  // Applies, in this order, the move, the button transitions and the wheel. False when
  // nothing could be injected (no display); flags 0 is a successful no-op.
  virtual bool Inject(uint32_t flags, int32_t dx, int32_t dy, int32_t data) = 0;
};

// Under CASTORA_PLATFORM=sim a recording mouse that logs every call; otherwise the
// X11 test-extension mouse of the display in DISPLAY.
std::shared_ptr<IMouseInjector> CreateMouseInjector();

}  // namespace platform::input
