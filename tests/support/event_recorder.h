#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Events a listener reports from the threads of the code under test, as texts, for
// the test thread: taken one by one in order (Next), or waited for by count and looked
// at as a whole (WaitForCount, Events). A test listener derives from its interface and
// from this, and turns each callback into Add("<what happened>").
class EventRecorder {
 public:
  explicit EventRecorder(std::chrono::milliseconds wait = std::chrono::milliseconds(10000))
      : wait_(wait) {}

  void Add(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    cv_.notify_all();
  }

  // Whether at least `count` events (not taken) are there within the wait.
  bool WaitForCount(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, wait_, [&] { return events_.size() >= count; });
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }

  // The oldest event not yet taken; nothing when none comes within the wait.
  std::optional<std::string> Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, wait_, [&] { return !events_.empty(); })) return std::nullopt;
    std::string event = std::move(events_.front());
    events_.erase(events_.begin());
    return event;
  }

 private:
  const std::chrono::milliseconds wait_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> events_;
};

}  // namespace testing_support
