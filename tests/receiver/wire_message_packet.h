#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The message packet of the control connection, as the receiver writes and reads it:
//
//   offset size field
//   0      4    sequence_num    big-endian; 1, 2, 3, ... per direction and connection
//   4      4    len             big-endian; body length in bytes
//   8      8    timestamp       big-endian; sender's monotonic milliseconds
//   16     4    version         big-endian; 5
//   20     4    invert_seq_num  big-endian; ~sequence_num
//   24     40   reserved        zero when written, kept as read
//   64     len  body            compact JSON {"content": ..., "id": <u16>}
namespace receiver::wire {

constexpr size_t kMessageHeaderSize = 64;
constexpr size_t kMessageReservedSize = 40;
constexpr uint32_t kProtocolVersion = 5;

struct MessageHeader {
  uint32_t sequence_num = 0;
  uint32_t len = 0;
  uint64_t timestamp = 0;
  uint32_t version = kProtocolVersion;
  uint32_t invert_seq_num = 0xFFFFFFFFu;
  std::array<uint8_t, kMessageReservedSize> reserved{};
};

// A well-formed header for a body of `len` bytes.
MessageHeader MakeMessageHeader(uint32_t sequence_num, uint32_t len, uint64_t timestamp);

// Writes the header exactly as given (nothing is corrected, so tests can build bad
// headers) followed by the body bytes.
std::vector<uint8_t> EncodeMessagePacket(const MessageHeader& header, const uint8_t* body,
                                         size_t body_size);
std::vector<uint8_t> EncodeMessagePacket(const MessageHeader& header, const std::string& body);

// Reads the 64-byte header from the front of `data`. False only when fewer than 64
// bytes are given; legality is a separate question (IsLegalMessageHeader).
bool DecodeMessageHeader(const uint8_t* data, size_t size, MessageHeader* out);

// Versions 5, 503, 504 and 505 are checked by the inverted sequence number; any other
// version is accepted when timestamp, sequence number and length are all non-zero.
bool IsLegalMessageHeader(const MessageHeader& header);

std::string ToString(const MessageHeader& header);

}  // namespace receiver::wire
