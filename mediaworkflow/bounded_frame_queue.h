#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <readerwriterqueue/readerwriterqueue.h>

#include "mediaworkflow/counting_semaphore.h"

namespace mediaworkflow {

// The hand-over between two stages: one producer thread, one consumer thread, at
// most `capacity` elements (counted by `items` and `freeSlots`), blocking enqueue and
// timed dequeue. Stop wakes both sides for good; afterwards nothing enters or leaves.
template <typename T>
class BoundedFrameQueue {
 public:
  static constexpr int32_t kCapacity = 2;

  BoundedFrameQueue() : queue_(3), items_(0), free_slots_(kCapacity) {}

  // Waits for a free slot without limit; drops the element when the queue is or
  // becomes stopped.
  void Enqueue(T&& element) {
    if (stopped_.load()) return;
    if (!free_slots_.Wait(-1)) return;
    if (stopped_.load()) return;
    if (queue_.try_enqueue(std::move(element))) items_.Signal(); else free_slots_.Signal();
  }

  // False at once when stopped, also with elements left; false on time-out.
  bool WaitDequeueTimed(T& out, int64_t timeout_us) {
    if (stopped_.load()) return false;
    if (!items_.Wait(timeout_us)) return false;
    if (!queue_.try_dequeue(out)) return false;
    free_slots_.Signal();
    return true;
  }

  int32_t Size() const {
    int32_t n = items_.Count();
    return n < 0 ? 0 : n;
  }

  int32_t capacity() const { return kCapacity; }

  // Consumer side: discards the oldest element without waiting.
  void DropOldest() {
    if (!items_.TryWait()) return;
    T discarded;
    if (queue_.try_dequeue(discarded)) free_slots_.Signal();
  }

  void Stop() {
    stopped_.store(true);
    items_.Shutdown();
    free_slots_.Shutdown();
  }

  bool IsStopped() const { return stopped_.load(); }

 private:
  moodycamel::ReaderWriterQueue<T> queue_;
  std::atomic<bool> stopped_{false};
  CountingSemaphore items_;
  CountingSemaphore free_slots_;
};

// The blocking enqueue of a stage: drops the element when the queue is gone or stopped.
template <typename T>
void EnqueueTo(const std::weak_ptr<BoundedFrameQueue<T>>& target, T&& element) {
  auto queue = target.lock();
  if (!queue || queue->IsStopped()) return;
  queue->Enqueue(std::move(element));
}

}  // namespace mediaworkflow
