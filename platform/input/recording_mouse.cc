#include "platform/input/recording_mouse.h"

#include "utils/logger.h"

namespace platform::input {

namespace {
const char* const kLogTag = "PLATFORM::sim_input";
}

bool RecordingMouse::Inject(uint32_t flags, int32_t dx, int32_t dy, int32_t data) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.Add({flags, dx, dy, data});
  }
  changed_.notify_all();
  if (log_calls_ && flags != 0)
    LOG_INFO("mouse input, flags: {:#06x}, dx: {}, dy: {}, data: {}", flags, dx, dy, data);
  return true;
}

std::vector<RecordingMouse::Call> RecordingMouse::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_.Kept();
}

size_t RecordingMouse::CallCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_.Total();
}

bool RecordingMouse::WaitForCalls(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return calls_.Total() >= count; });
}

}  // namespace platform::input
