#pragma once

#include <cstddef>
#include <cstdint>

namespace crcp {

// 32-bit FNV-1a over the eight bytes of a timer or watch id (little end first),
// the hash of the runtime's id tables.
struct FnvHash {
  size_t operator()(uint64_t id) const noexcept {
    uint32_t h = 2166136261u;
    for (int i = 0; i < 8; ++i) {
      h ^= static_cast<uint8_t>(id >> (8 * i));
      h *= 16777619u;
    }
    return h;
  }
};

}  // namespace crcp
