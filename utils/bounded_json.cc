#include "utils/bounded_json.h"

#include <string>

namespace zorvax::utils {

JsonTooDeep::JsonTooDeep()
    : std::runtime_error("json nested deeper than " + std::to_string(kMaxJsonDepth) +
                         " levels") {}

int JsonNestingDepth(std::string_view text, int limit) {
  int depth = 0;
  int deepest = 0;
  bool in_string = false;
  bool escaped = false;
  for (const char c : text) {
    if (in_string) {
      // A backslash escapes exactly the next character ("\"" and "\\" included);
      // the longer escapes (\uXXXX) hold no quote, so skipping one is enough.
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        break;
      case '[':
      case '{':
        if (++depth > deepest) {
          deepest = depth;
          if (deepest > limit) return limit + 1;
        }
        break;
      case ']':
      case '}':
        // An unmatched closer is malformed; the parser refuses it at that point.
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return deepest;
}

nlohmann::json ParseBoundedJson(std::string_view text, bool allow_exceptions) {
  if (JsonNestingDepth(text) > kMaxJsonDepth) {
    if (allow_exceptions) throw JsonTooDeep();
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  return nlohmann::json::parse(text.begin(), text.end(), nullptr, allow_exceptions);
}

}  // namespace zorvax::utils
