#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mediaworkflow {

// A counting semaphore with timed wait and a shutdown that wakes every waiter for
// good. (A single extra signal would wake only one waiter and leave a phantom count
// behind for the next one.)
class CountingSemaphore {
 public:
  explicit CountingSemaphore(int32_t initial) : count_(initial) {}

  // Waits for a count; `timeout_us` < 0 waits without limit. False on time-out or
  // shutdown.
  bool Wait(int64_t timeout_us);
  bool TryWait();
  void Signal();
  void Shutdown();
  int32_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  int32_t count_;
  bool shutdown_ = false;
};

}  // namespace mediaworkflow
