#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace crcp::video {

// A small blocking ring of serialised media packets between a producer (the pipeline's
// output thread, the audio capture thread) and the one sender that writes them out.
// One slot always stays empty, so at most slots-1 packets wait: video uses 3 slots,
// audio 7. A full ring holds the producer back instead of dropping; Stop releases
// both sides at once so that no stop path can hang on a stalled peer.
class PacketRingBuffer {
 public:
  explicit PacketRingBuffer(size_t slots) : slots_(slots < 2 ? 2 : slots) {}

  PacketRingBuffer(const PacketRingBuffer&) = delete;
  PacketRingBuffer& operator=(const PacketRingBuffer&) = delete;

  // Copies the packet in; blocks while the ring is full. False when stopped or
  // interrupted (the packet is not queued).
  bool Push(const std::vector<uint8_t>& packet) {
    std::unique_lock<std::mutex> lock(mutex_);
    not_full_.wait(lock, [this] { return stopped_ || interrupted_ || Count() < slots_ - 1; });
    if (stopped_ || interrupted_) return false;
    slots_data_[write_] = packet;
    write_ = (write_ + 1) % slots_;
    not_empty_.notify_one();
    return true;
  }

  // Moves the oldest packet out; blocks while the ring is empty. False when stopped.
  bool Pop(std::vector<uint8_t>& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    not_empty_.wait(lock, [this] { return stopped_ || Count() > 0; });
    if (stopped_) return false;
    out = std::move(slots_data_[read_]);
    slots_data_[read_].clear();
    read_ = (read_ + 1) % slots_;
    not_full_.notify_one();
    return true;
  }

  // Sets or clears the stop flag; setting it wakes every waiter.
  void SetStopped(bool stopped) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = stopped;
    }
    not_empty_.notify_all();
    not_full_.notify_all();
  }

  // Releases the producer only: while set, Push returns false at once (a waiting one
  // wakes), and Pop still hands out what is queued. The pipeline sets it for the span
  // of a stop that must join the producer's thread, then clears it.
  void SetInterrupted(bool interrupted) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      interrupted_ = interrupted;
    }
    not_full_.notify_all();
  }

  // Discards every waiting packet (a restart begins with an empty ring).
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& slot : slots_data_) slot.clear();
    read_ = write_ = 0;
    not_full_.notify_all();
  }

  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Count();
  }
  size_t Capacity() const { return slots_ - 1; }

 private:
  size_t Count() const { return (write_ + slots_ - read_) % slots_; }

  const size_t slots_;
  mutable std::mutex mutex_;
  std::condition_variable not_empty_;
  std::condition_variable not_full_;
  std::vector<std::vector<uint8_t>> slots_data_ = std::vector<std::vector<uint8_t>>(slots_);
  size_t read_ = 0;
  size_t write_ = 0;
  bool stopped_ = false;
  bool interrupted_ = false;
};

}  // namespace crcp::video
