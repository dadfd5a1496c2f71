#pragma once

#include <cstddef>
#include <deque>
#include <vector>

namespace platform::input {

// What a simulated device remembers of its traffic: the last `kKept` entries and the
// count of all of them. A run on the simulated devices (the demo, a long share) sees a
// report per touch frame and a call per mouse move, so keeping every one would grow
// without end; the tests read far fewer than `kKept`. Not guarded: the owner's lock
// covers it.
template <typename T>
class BoundedRecord {
 public:
  static constexpr size_t kKept = 4096;

  void Add(T entry) {
    if (kept_.size() == kKept) kept_.pop_front();
    kept_.push_back(std::move(entry));
    ++total_;
  }
  // The entries still kept, oldest first.
  std::vector<T> Kept() const { return {kept_.begin(), kept_.end()}; }
  // Every entry ever added, kept or not.
  size_t Total() const { return total_; }

 private:
  std::deque<T> kept_;
  size_t total_ = 0;
};

}  // namespace platform::input
