#include "platform/input/sim_window_system.h"

namespace platform::input {

void SimWindowSystem::AddWindow(WindowHandle window) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.insert(window);
}

void SimWindowSystem::RemoveWindow(WindowHandle window) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.erase(window);
}

bool SimWindowSystem::IsWindow(WindowHandle window) {
  if (window == kDesktop) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return windows_.count(window) != 0;
}

}  // namespace platform::input
