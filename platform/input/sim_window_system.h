#pragma once

#include <mutex>
#include <set>

#include "platform/input/window_system.h"

namespace platform::input {

// A window list to script: the desktop window (handle 1) always exists; other handles
// exist between AddWindow and RemoveWindow.
class SimWindowSystem : public IWindowSystem {
 public:
  static constexpr WindowHandle kDesktop = 1;

  void AddWindow(WindowHandle window);
  void RemoveWindow(WindowHandle window);

  WindowHandle DesktopWindow() override { return kDesktop; }
  bool IsWindow(WindowHandle window) override;

 private:
  std::mutex mutex_;
  std::set<WindowHandle> windows_;
};

}  // namespace platform::input
