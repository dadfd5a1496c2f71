#pragma once

#include <cstdint>
#include <memory>

// Window validity: the touch device sends a frame only while the window it serves is
// still a window.
namespace platform::input {

using WindowHandle = uintptr_t;
constexpr WindowHandle kNullWindow = 0;

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  // The window that stands for the whole desktop; always a window.
  virtual WindowHandle DesktopWindow() = 0;
  virtual bool IsWindow(WindowHandle window) = 0;
};

// Under CASTORA_PLATFORM=sim a scriptable window list; otherwise the Linux one, where
// the desktop is the only window the touch device can serve.
std::shared_ptr<IWindowSystem> CreateWindowSystem();

}  // namespace platform::input
