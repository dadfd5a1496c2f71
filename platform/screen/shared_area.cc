#include "platform/screen/shared_area.h"

#include <algorithm>

namespace platform::screen {

SharedArea& SharedArea::Instance() {
  static SharedArea instance;
  return instance;
}

void SharedArea::Publish(const void* owner, const Area& area) {
  std::lock_guard<std::mutex> lock(mutex_);
  owner_ = owner;
  area_ = area;
}

void SharedArea::Withdraw(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner != owner_) return;
  owner_ = nullptr;
  area_.reset();
}

std::optional<SharedArea::Area> SharedArea::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return area_;
}

Rect SharedArea::Bounds(const std::vector<Monitor>& monitors) {
  if (monitors.empty()) return Rect{};
  int left = monitors[0].rect.left, top = monitors[0].rect.top;
  int right = left + monitors[0].rect.width, bottom = top + monitors[0].rect.height;
  for (const Monitor& m : monitors) {
    left = std::min(left, m.rect.left);
    top = std::min(top, m.rect.top);
    right = std::max(right, m.rect.left + m.rect.width);
    bottom = std::max(bottom, m.rect.top + m.rect.height);
  }
  return Rect{left, top, right - left, bottom - top};
}

}  // namespace platform::screen
