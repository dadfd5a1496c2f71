#pragma once

#include <future>
#include <mutex>

namespace fuzz {

// The one moment a fuzz target waits for (with a bound) before it ends an input: the
// session under test has handled everything before it. Listeners may report it from
// several threads and more than once; only the first report counts.
class OnceSignal {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!done_) promise_.set_value();
    done_ = true;
  }
  std::future<void> Future() { return promise_.get_future(); }

 private:
  std::mutex mutex_;
  bool done_ = false;
  std::promise<void> promise_;
};

}  // namespace fuzz
