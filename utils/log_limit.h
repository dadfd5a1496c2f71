#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "utils/logger.h"

// Bounds for log lines that a remote peer can trigger as often as it likes (malformed
// datagrams, bad bodies, unknown messages, strangers): without them a hostile peer
// fills the disk. A line passes a few times per interval; the rest is counted, and the
// count is logged with the next line that passes.
namespace zorvax::utils::logger {

class RateLimit {
 public:
  static constexpr unsigned kDefaultBurst = 5;
  static constexpr std::chrono::milliseconds kDefaultInterval{60000};

  constexpr RateLimit() = default;
  constexpr RateLimit(unsigned burst, std::chrono::milliseconds interval)
      : burst_(burst), interval_(interval) {}
  RateLimit(const RateLimit&) = delete;
  RateLimit& operator=(const RateLimit&) = delete;

  // True when the line may be written now: the first `burst` calls of each interval
  // (an interval begins with the first call after the previous one ended). When it
  // returns true, `held_back` is the number of calls refused since the last line that
  // passed.
  bool Allow(uint64_t& held_back);
  // The same against a given clock reading, for tests.
  bool Allow(std::chrono::steady_clock::time_point now, uint64_t& held_back);

 private:
  const unsigned burst_ = kDefaultBurst;
  const std::chrono::milliseconds interval_ = kDefaultInterval;
  std::mutex mutex_;
  uint64_t generation_ = 0;  // see ResetRateLimits
  bool started_ = false;
  std::chrono::steady_clock::time_point window_start_{};
  unsigned passed_ = 0;
  uint64_t held_back_ = 0;
};

// Starts every RateLimit of the process afresh, its count of held-back lines dropped:
// for tests that look for lines a previous test may have used up.
void ResetRateLimits();

// How much of a received body goes into a log line.
constexpr size_t kExcerptBytes = 256;

// `text` itself when it is at most `max` bytes; otherwise its first `max` bytes and its
// length, so that one huge message writes a short line.
std::string Excerpt(const std::string& text, size_t max = kExcerptBytes);

}  // namespace zorvax::utils::logger

// Like LOG_*, but one RateLimit per call site: for lines a remote peer can trigger.
#define ZORVAX_LOG_LIMITED_AT(burst, level, fn, ...)                                              \
  do {                                                                                            \
    static ::zorvax::utils::logger::RateLimit zorvax_rate_limit_{                                 \
        burst, ::zorvax::utils::logger::RateLimit::kDefaultInterval};                             \
    uint64_t zorvax_held_back_ = 0;                                                               \
    if (::zorvax::utils::logger::ShouldLog(level) &&                                              \
        zorvax_rate_limit_.Allow(zorvax_held_back_)) {                                            \
      if (zorvax_held_back_ != 0)                                                                 \
        ::zorvax::utils::logger::fn(                                                              \
            kLogTag, ZORVAX_LOG_WHERE,                                                            \
            ::fmt::format("{} more lines like the next one were not logged", zorvax_held_back_)); \
      ::zorvax::utils::logger::fn(kLogTag, ZORVAX_LOG_WHERE, ::fmt::format(__VA_ARGS__));         \
    }                                                                                             \
  } while (0)

#define ZORVAX_BURST ::zorvax::utils::logger::RateLimit::kDefaultBurst
#define LOG_TRACE_LIMITED(...) \
  ZORVAX_LOG_LIMITED_AT(ZORVAX_BURST, ::spdlog::level::trace, Trace, __VA_ARGS__)
#define LOG_DEBUG_LIMITED(...) \
  ZORVAX_LOG_LIMITED_AT(ZORVAX_BURST, ::spdlog::level::debug, Debug, __VA_ARGS__)
#define LOG_INFO_LIMITED(...) \
  ZORVAX_LOG_LIMITED_AT(ZORVAX_BURST, ::spdlog::level::info, Info, __VA_ARGS__)
#define LOG_WARN_LIMITED(...) \
  ZORVAX_LOG_LIMITED_AT(ZORVAX_BURST, ::spdlog::level::warn, Warn, __VA_ARGS__)
#define LOG_ERROR_LIMITED(...) \
  ZORVAX_LOG_LIMITED_AT(ZORVAX_BURST, ::spdlog::level::err, Error, __VA_ARGS__)
// For lines that normal work writes in bursts (a task per step of a connect) and that
// a peer can still drive without end: a larger burst per interval.
#define LOG_INFO_LIMITED_TO(burst, ...) \
  ZORVAX_LOG_LIMITED_AT(burst, ::spdlog::level::info, Info, __VA_ARGS__)
