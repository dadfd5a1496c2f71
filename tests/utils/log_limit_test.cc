#include "utils/log_limit.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace logger = zorvax::utils::logger;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

// Calls at the given times (ms from the start) against a limit of 2 per 1000 ms; each
// expected entry is -1 for refused or the held-back count reported with the pass.
TEST(RateLimitTest, PassesABurstPerIntervalThenCountsWhatItHeldBack) {
  struct Case {
    const char* name;
    std::vector<int> at_ms;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"a burst passes", {0, 1}, {0, 0}},
      {"beyond the burst is held back", {0, 1, 2, 3}, {0, 0, -1, -1}},
      {"the next interval reports the count", {0, 1, 2, 3, 1000}, {0, 0, -1, -1, 2}},
      {"an interval starts at its first call",
       {0, 1, 2, 1500, 2400, 2499, 2500},
       {0, 0, -1, 1, 0, -1, 1}},
      {"a quiet line is never held back", {0, 5000, 10000}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    logger::RateLimit limit(2, milliseconds(1000));
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < c.at_ms.size(); ++i) {
      uint64_t held_back = 99;
      const bool passed = limit.Allow(start + milliseconds(c.at_ms[i]), held_back);
      EXPECT_EQ(passed ? static_cast<int>(held_back) : -1, c.expected[i]) << "call " << i;
    }
  }
}

TEST(RateLimitTest, ResetStartsEveryLimitAfresh) {
  logger::RateLimit limit(1, milliseconds(1000));
  const Clock::time_point start = Clock::now();
  uint64_t held_back = 0;
  EXPECT_TRUE(limit.Allow(start, held_back));
  EXPECT_FALSE(limit.Allow(start, held_back));
  logger::ResetRateLimits();
  EXPECT_TRUE(limit.Allow(start, held_back));
  EXPECT_EQ(held_back, 0u) << "the count before the reset is dropped";
}

TEST(ExcerptTest, LongTextsAreCutAndTheirLengthTold) {
  EXPECT_EQ(logger::Excerpt("", 4), "");
  EXPECT_EQ(logger::Excerpt("abcd", 4), "abcd");
  EXPECT_EQ(logger::Excerpt("abcde", 4), "abcd... (5 bytes)");
  const std::string body(16 << 20, '[');
  EXPECT_EQ(logger::Excerpt(body).size(),
            logger::kExcerptBytes + std::string("... (16777216 bytes)").size());
}

}  // namespace
