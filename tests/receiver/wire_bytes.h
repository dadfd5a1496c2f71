#pragma once

#include <cstddef>
#include <cstdint>

// Byte-order helpers of the receiver's own codec. They work on byte arrays, never on
// host integers reinterpreted in place, so the result does not depend on the host.
namespace receiver::wire {

inline void PutBe32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

inline void PutBe64(uint8_t* out, uint64_t v) {
  PutBe32(out, static_cast<uint32_t>(v >> 32));
  PutBe32(out + 4, static_cast<uint32_t>(v));
}

inline void PutLe32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t GetBe32(const uint8_t* in) {
  return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
         (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

inline uint64_t GetBe64(const uint8_t* in) {
  return (static_cast<uint64_t>(GetBe32(in)) << 32) | GetBe32(in + 4);
}

inline uint32_t GetLe32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
         (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

}  // namespace receiver::wire
