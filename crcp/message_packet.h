#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crcp {

// A packet of the control connection: a 64-byte big-endian header and a UTF-8 JSON
// body.
//
//   offset size field
//   0      4    sequence_num     the connection's running number, from 1
//   4      4    len              body length
//   8      8    timestamp        NowMs() of the sender when built
//   16     4    version          protocol version (5)
//   20     4    invert_seq_num   ~sequence_num
//   24     40   reserved         zero when built here, kept as received
//   64     len  body
class MessagePacket {
 public:
  static constexpr size_t kHeaderSize = 64;

  MessagePacket();  // empty, legal: sequence 0, invert 0xFFFFFFFF, no body
  MessagePacket(uint32_t seq, std::vector<uint8_t>&& body);

  // 64 + len bytes, or an empty vector for an illegal packet.
  static std::vector<uint8_t> Serialize(const MessagePacket& packet);
  // Reads the header only; the body is read separately by the connection.
  static bool Deserialize(const uint8_t* data, size_t size, MessagePacket& out);
  static bool IsLegalHeader(const MessagePacket& packet);
  static bool IsLegal(const MessagePacket& packet);
  static std::string ToString(const MessagePacket& packet);

  uint32_t sequence_num = 0;
  uint32_t len = 0;
  uint64_t timestamp = 0;
  uint32_t version = 0;
  uint32_t invert_seq_num = 0;
  std::array<uint8_t, 40> reserved{};
  std::vector<uint8_t> body;
};

}  // namespace crcp
