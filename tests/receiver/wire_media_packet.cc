#include "tests/receiver/wire_media_packet.h"

#include "tests/receiver/wire_bytes.h"

namespace receiver::wire {

std::vector<uint8_t> EncodeMediaPacket(const MediaHeader& header, const uint8_t* body, size_t size) {
  std::vector<uint8_t> out(kMediaHeaderSize + size);
  PutBe32(out.data(), header.type);
  PutBe32(out.data() + 4, header.length);
  PutBe64(out.data() + 8, header.stamp);
  for (size_t i = 0; i < size; ++i) out[kMediaHeaderSize + i] = body[i];
  return out;
}

std::vector<uint8_t> EncodeMediaCommand(uint16_t id, const std::vector<uint8_t>& body) {
  MediaHeader header;
  header.type = id;
  header.length = static_cast<uint32_t>(body.size());
  return EncodeMediaPacket(header, body.data(), body.size());
}

std::optional<MediaHeader> DecodeMediaHeader(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kMediaHeaderSize) return std::nullopt;
  MediaHeader header;
  header.type = GetBe32(data);
  header.length = GetBe32(data + 4);
  header.stamp = GetBe64(data + 8);
  return header;
}

}  // namespace receiver::wire
