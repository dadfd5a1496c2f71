#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The media packet of the video command and data connections, as the receiver writes
// and reads it:
//
//   offset size field
//   0      4    type     big-endian; command id in the low 16 bits (upper 16 zero),
//                        0 on the data connection
//   4      4    length   big-endian; body bytes that follow
//   8      8    stamp    big-endian; 0 on commands, the sample's stamp on data
//   16     len  body     compact JSON (commands) or one H.264 access unit (data)
namespace receiver::wire {

constexpr size_t kMediaHeaderSize = 16;
// The receiver takes bodies up to 10 MiB.
constexpr uint32_t kMediaMaxBody = 0xA00000;

struct MediaHeader {
  uint32_t type = 0;
  uint32_t length = 0;
  uint64_t stamp = 0;
};

// Header as given, then the body.
std::vector<uint8_t> EncodeMediaPacket(const MediaHeader& header, const uint8_t* body, size_t size);
// A command packet: type = id, length = body size, stamp 0.
std::vector<uint8_t> EncodeMediaCommand(uint16_t id, const std::vector<uint8_t>& body);
// The header of the first 16 bytes; nullopt when fewer are given.
std::optional<MediaHeader> DecodeMediaHeader(const uint8_t* data, size_t size);

}  // namespace receiver::wire
