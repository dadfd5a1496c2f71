#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The heart-beat datagram, exactly 16 bytes:
//
//   offset size field           byte order
//   0      8    seq_num         big-endian; 1, 2, 3, ... every 250 ms
//   8      4    invert_seq_num  big-endian; ~(low 32 bits of seq_num)
//   12     4    version         little-endian (the client writes its x86 host order
//                               without conversion): 05 00 00 00
//
// The receiver writes the version little-endian on every host, so the bytes on the
// wire are the ones the client expects whatever machine runs the tests.
namespace receiver::wire {

constexpr size_t kHeartBeatSize = 16;

struct HeartBeat {
  uint64_t seq_num = 0;
  uint32_t invert_seq_num = 0xFFFFFFFFu;
  uint32_t version = 5;
};

HeartBeat MakeHeartBeat(uint64_t seq_num);

// Writes the fields exactly as given.
std::array<uint8_t, kHeartBeatSize> EncodeHeartBeat(const HeartBeat& beat);

// False unless exactly 16 bytes are given; legality is IsLegalHeartBeat's question.
bool DecodeHeartBeat(const uint8_t* data, size_t size, HeartBeat* out);

// Versions 5, 503, 504 and 505 are checked by the inverted low word; any other version
// is legal only when it is non-zero and invert_seq_num is 0.
bool IsLegalHeartBeat(const HeartBeat& beat);

std::string ToString(const HeartBeat& beat);

}  // namespace receiver::wire
