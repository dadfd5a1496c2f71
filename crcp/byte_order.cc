#include "crcp/byte_order.h"

#include <arpa/inet.h>

#include <cstring>

namespace crcp {

bool IsBigEndian() {
  static const bool big = ntohl(1u) == 1u;
  return big;
}

uint64_t HostToNet64(uint64_t value) {
  if (IsBigEndian()) return value;
  uint32_t high = htonl(static_cast<uint32_t>(value >> 32));
  uint32_t low = htonl(static_cast<uint32_t>(value));
  return (static_cast<uint64_t>(low) << 32) | high;
}

uint64_t NetToHost64(uint64_t value) { return HostToNet64(value); }

void PutBe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void PutBe64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (56 - 8 * i));
}

uint32_t GetBe32(const uint8_t* in) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | in[i];
  return v;
}

uint64_t GetBe64(const uint8_t* in) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | in[i];
  return v;
}

}  // namespace crcp
