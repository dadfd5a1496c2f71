#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

// Gathers what a capture or a source hands out on its thread, for a test to wait on.
class BlockCollector {
 public:
  std::function<void(const uint8_t*, unsigned)> Callback() {
    return [this](const uint8_t* data, unsigned size) {
      std::lock_guard<std::mutex> lock(mutex_);
      blocks_.emplace_back(data, data + size);
      times_.push_back(std::chrono::steady_clock::now());
      cv_.notify_all();
    };
  }
  bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return blocks_.size() >= count; });
  }
  std::vector<std::vector<uint8_t>> Blocks() {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
  }
  // When each block arrived.
  std::vector<std::chrono::steady_clock::time_point> Times() {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    blocks_.clear();
    times_.clear();
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
  }
  static std::vector<float> Floats(const std::vector<uint8_t>& block) {
    std::vector<float> f(block.size() / sizeof(float));
    std::memcpy(f.data(), block.data(), f.size() * sizeof(float));
    return f;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::vector<uint8_t>> blocks_;
  std::vector<std::chrono::steady_clock::time_point> times_;
};
