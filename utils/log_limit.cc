#include "utils/log_limit.h"

#include <atomic>

namespace zorvax::utils::logger {

namespace {
std::atomic<uint64_t> g_generation{0};
}  // namespace

void ResetRateLimits() { ++g_generation; }

bool RateLimit::Allow(uint64_t& held_back) {
  return Allow(std::chrono::steady_clock::now(), held_back);
}

bool RateLimit::Allow(std::chrono::steady_clock::time_point now, uint64_t& held_back) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t generation = g_generation.load();
  if (generation != generation_) {
    generation_ = generation;
    started_ = false;
    held_back_ = 0;
  }
  if (!started_ || now - window_start_ >= interval_) {
    started_ = true;
    window_start_ = now;
    passed_ = 0;
  }
  if (passed_ >= burst_) {
    ++held_back_;
    return false;
  }
  ++passed_;
  held_back = held_back_;
  held_back_ = 0;
  return true;
}

std::string Excerpt(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  return fmt::format("{}... ({} bytes)", text.substr(0, max), text.size());
}

}  // namespace zorvax::utils::logger
