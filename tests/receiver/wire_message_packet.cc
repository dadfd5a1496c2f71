#include "tests/receiver/wire_message_packet.h"

#include <fmt/format.h>

#include "tests/receiver/wire_bytes.h"

namespace receiver::wire {

MessageHeader MakeMessageHeader(uint32_t sequence_num, uint32_t len, uint64_t timestamp) {
  MessageHeader header;
  header.sequence_num = sequence_num;
  header.len = len;
  header.timestamp = timestamp;
  header.version = kProtocolVersion;
  header.invert_seq_num = ~sequence_num;
  return header;
}

std::vector<uint8_t> EncodeMessagePacket(const MessageHeader& header, const uint8_t* body,
                                         size_t body_size) {
  std::vector<uint8_t> out(kMessageHeaderSize + body_size);
  uint8_t* p = out.data();
  PutBe32(p + 0, header.sequence_num);
  PutBe32(p + 4, header.len);
  PutBe64(p + 8, header.timestamp);
  PutBe32(p + 16, header.version);
  PutBe32(p + 20, header.invert_seq_num);
  for (size_t i = 0; i < kMessageReservedSize; ++i) p[24 + i] = header.reserved[i];
  for (size_t i = 0; i < body_size; ++i) p[kMessageHeaderSize + i] = body[i];
  return out;
}

std::vector<uint8_t> EncodeMessagePacket(const MessageHeader& header, const std::string& body) {
  return EncodeMessagePacket(header, reinterpret_cast<const uint8_t*>(body.data()), body.size());
}

bool DecodeMessageHeader(const uint8_t* data, size_t size, MessageHeader* out) {
  if (data == nullptr || out == nullptr || size < kMessageHeaderSize) return false;
  out->sequence_num = GetBe32(data + 0);
  out->len = GetBe32(data + 4);
  out->timestamp = GetBe64(data + 8);
  out->version = GetBe32(data + 16);
  out->invert_seq_num = GetBe32(data + 20);
  for (size_t i = 0; i < kMessageReservedSize; ++i) out->reserved[i] = data[24 + i];
  return true;
}

bool IsLegalMessageHeader(const MessageHeader& header) {
  switch (header.version) {
    case kProtocolVersion:
    case 503:
    case 504:
    case 505:
      return header.sequence_num == ~header.invert_seq_num;
    default:
      return header.timestamp != 0 && header.sequence_num != 0 && header.len != 0;
  }
}

std::string ToString(const MessageHeader& header) {
  return fmt::format(
      "sequence_num: [{}], len: [{}], timestamp: [{}], version: [{}], invert_seq_num: [{}]",
      header.sequence_num, header.len, header.timestamp, header.version, header.invert_seq_num);
}

}  // namespace receiver::wire
