#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/input/mouse_injector.h"

namespace platform::input {

// A mouse that records every injection (and, when asked, logs it).
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

  std::vector<Call> Calls() const;
  bool WaitForCalls(size_t count, std::chrono::milliseconds timeout) const;

 private:
  const bool log_calls_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Call> calls_;
};

inline bool operator==(const RecordingMouse::Call& a, const RecordingMouse::Call& b) {
  return a.flags == b.flags && a.dx == b.dx && a.dy == b.dy && a.data == b.data;
}

}  // namespace platform::input
