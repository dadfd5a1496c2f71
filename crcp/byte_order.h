#pragma once

#include <cstdint>

namespace crcp {

bool IsBigEndian();
// Network (big-endian) order of 64-bit values: on a little-endian host both reverse
// the eight bytes, on a big-endian host both return the value unchanged.
uint64_t HostToNet64(uint64_t value);
uint64_t NetToHost64(uint64_t value);

// Reading and writing big-endian fields at a byte position.
void PutBe32(uint8_t* out, uint32_t value);
void PutBe64(uint8_t* out, uint64_t value);
uint32_t GetBe32(const uint8_t* in);
uint64_t GetBe64(const uint8_t* in);

}  // namespace crcp
