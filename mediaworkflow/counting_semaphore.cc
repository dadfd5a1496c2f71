#include "mediaworkflow/counting_semaphore.h"

#include <chrono>

namespace mediaworkflow {

bool CountingSemaphore::Wait(int64_t timeout_us) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [this] { return shutdown_ || count_ > 0; };
  if (timeout_us < 0) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::microseconds(timeout_us), ready)) {
    return false;
  }
  if (shutdown_) return false;
  --count_;
  return true;
}

bool CountingSemaphore::TryWait() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (shutdown_ || count_ <= 0) return false;
  --count_;
  return true;
}

void CountingSemaphore::Signal() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
  }
  cv_.notify_one();
}

void CountingSemaphore::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
  }
  cv_.notify_all();
}

int32_t CountingSemaphore::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace mediaworkflow
