#pragma once

#include <cstddef>
#include <stdexcept>
#include <string_view>

#include <nlohmann/json.hpp>

// The one way to parse JSON that arrived from the network. The document tree and
// every copy, comparison and dump of it recurse once per nesting level, so a
// peer that sends a few hundred kilobytes of "[[[[..." would overflow the stack
// long after the parse succeeded. Texts that nest deeper than kMaxJsonDepth are
// refused before any tree is built; no message of the protocol comes close.
namespace zorvax::utils {

inline constexpr int kMaxJsonDepth = 64;

// Thrown by ParseBoundedJson (when exceptions are allowed) for a text that nests too
// deeply; callers that already catch nlohmann's parse errors catch it too.
class JsonTooDeep : public std::runtime_error {
 public:
  JsonTooDeep();
};

// The deepest nesting of arrays and objects in `text` (0 for a scalar), counted
// the way a JSON reader would see it: brackets inside strings do not count. Stops
// counting once `limit` is exceeded and returns limit + 1. Malformed text gets a
// number too; it only has to be no smaller than what a parser would reach before
// it gives up.
int JsonNestingDepth(std::string_view text, int limit = kMaxJsonDepth);

// nlohmann::json::parse(text, nullptr, allow_exceptions) for a text nested at most
// kMaxJsonDepth levels. A deeper text throws JsonTooDeep, or yields a discarded value
// when exceptions are not allowed: the caller's malformed-input path handles both.
nlohmann::json ParseBoundedJson(std::string_view text, bool allow_exceptions = true);

}  // namespace zorvax::utils
