#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/input/bounded_record.h"
#include "platform/input/mouse_injector.h"

namespace platform::input {

// A mouse that records its injections (the last few thousand, and the count of all) and,
// when asked, logs them.
class RecordingMouse : public IMouseInjector {
 public:
  struct Call {
    uint32_t flags = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t data = 0;
  };

  explicit RecordingMouse(bool log_calls = false) : log_calls_(log_calls) {}

  bool Inject(uint32_t flags, int32_t dx, int32_t dy, int32_t data) override;

  // The injections still kept (the last BoundedRecord::kKept), oldest first.
  std::vector<Call> Calls() const;
  // Every injection since the mouse was made.
  size_t CallCount() const;
  bool WaitForCalls(size_t count, std::chrono::milliseconds timeout) const;

 private:
  const bool log_calls_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  BoundedRecord<Call> calls_;
};

inline bool operator==(const RecordingMouse::Call& a, const RecordingMouse::Call& b) {
  return a.flags == b.flags && a.dx == b.dx && a.dy == b.dy && a.data == b.data;
}

}  // namespace platform::input
