#include "utils/bounded_json.h"

#include <string>

#include <gtest/gtest.h>

namespace zorvax::utils {
namespace {

std::string Nested(int depth, char open = '[', char close = ']') {
  return std::string(depth, open) + std::string(depth, close);
}

TEST(BoundedJson, CountsNestingAsAReaderSeesIt) {
  struct Case {
    const char* text;
    int depth;
  } cases[] = {
      {R"(42)", 0},
      {R"("[[[")", 0},                       // brackets inside a string
      {R"(["\"[[", "\\", [1]])", 2},         // escaped quote and backslash end where they should
      {R"({"a":{"b":[{}]}})", 4},
      {R"([[]] [[[]]])", 3},                 // deepest, not last
      {R"(]]]][[)", 2},                      // stray closers never go below zero
      {R"("unterminated [[[[)", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonNestingDepth(c.text), c.depth) << c.text;
  EXPECT_EQ(JsonNestingDepth(Nested(1000), 64), 65);
}

TEST(BoundedJson, AcceptsTheLimitAndRefusesOneLevelMore) {
  for (const auto& [open, close] : {std::pair{'[', ']'}, std::pair{'{', '}'}}) {
    // Objects need members to be valid: {"a":{"a":...}}.
    std::string at_limit, too_deep;
    if (open == '[') {
      at_limit = Nested(kMaxJsonDepth);
      too_deep = Nested(kMaxJsonDepth + 1);
    } else {
      for (int i = 0; i < kMaxJsonDepth; ++i) at_limit += "{\"a\":";
      at_limit += "1" + std::string(kMaxJsonDepth, '}');
      too_deep = "{\"a\":" + at_limit + "}";
    }
    EXPECT_FALSE(ParseBoundedJson(at_limit, false).is_discarded()) << open;
    EXPECT_NO_THROW(ParseBoundedJson(at_limit)) << open;
    EXPECT_TRUE(ParseBoundedJson(too_deep, false).is_discarded()) << open;
    EXPECT_THROW(ParseBoundedJson(too_deep), JsonTooDeep) << open;
  }
}

TEST(BoundedJson, RefusesAHostileBodyAndStillReportsOtherErrors) {
  // 200 KB of nesting: the size that overflowed the stack once a tree was built.
  const std::string hostile = "{\"content\":" + Nested(100000) + "}";
  EXPECT_TRUE(ParseBoundedJson(hostile, false).is_discarded());
  EXPECT_THROW(ParseBoundedJson(hostile), std::exception);
  // Malformed but shallow text still fails the way nlohmann reports it.
  EXPECT_THROW(ParseBoundedJson("[1,"), nlohmann::json::parse_error);
  EXPECT_TRUE(ParseBoundedJson("[1,", false).is_discarded());
  EXPECT_EQ(ParseBoundedJson(R"({"id":1,"content":{"a":[1,2]}})")["content"]["a"][1], 2);
}

}  // namespace
}  // namespace zorvax::utils
