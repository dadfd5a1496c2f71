#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crcp {

// The heart-beat datagram, exactly 16 bytes:
//
//   offset size field
//   0      8    seq_num          big-endian
//   8      4    invert_seq_num   big-endian, ~(low 32 bits of seq_num)
//   12     4    version          little-endian (the peers' host order: 05 00 00 00)
class HeartBeatPacket {
 public:
  static constexpr size_t kSize = 16;

  HeartBeatPacket() = default;
  explicit HeartBeatPacket(uint64_t seq);

  // 16 bytes, or empty for an illegal packet.
  static std::vector<uint8_t> Serialize(const HeartBeatPacket& packet);
  static bool Deserialize(const uint8_t* data, size_t size, HeartBeatPacket& out);
  static bool IsLegal(const HeartBeatPacket& packet);
  static std::string ToString(const HeartBeatPacket& packet);

  uint64_t seq_num = 0;
  uint32_t invert_seq_num = 0;
  uint32_t version = 0;
};

}  // namespace crcp
