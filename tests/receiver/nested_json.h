#pragma once

#include <cstddef>
#include <string>

namespace receiver {

// Valid JSON nested `depth` arrays deep: "[[[...]]]". At depth 100,000 (200 KB) a
// parser that builds and copies a tree one stack frame per level overflows the stack.
inline std::string NestedJson(size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

// The size a hostile receiver sends in the scripted cases.
inline constexpr size_t kHostileDepth = 100000;

}  // namespace receiver
