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

std::vector<uint8_t> EncodeMediaPacket(uint32_t type, const std::string& body, uint64_t stamp) {
  MediaHeader header;
  header.type = type;
  header.length = static_cast<uint32_t>(body.size());
  header.stamp = stamp;
  return EncodeMediaPacket(header, reinterpret_cast<const uint8_t*>(body.data()), body.size());
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

bool DecodeAudioDatagram(const uint8_t* data, size_t size, AudioDatagram* datagram,
                         std::string* error) {
  const auto header = DecodeMediaHeader(data, size);
  if (!header) {
    *error = "datagram shorter than the header";
    return false;
  }
  datagram->header = *header;
  const MediaHeader& h = datagram->header;
  if (h.length != size - kMediaHeaderSize) {
    *error = "length " + std::to_string(h.length) + " but " +
             std::to_string(size - kMediaHeaderSize) + " body bytes";
    return false;
  }
  if (h.length > kMaxOpusPacket) {
    *error = "Opus packet of " + std::to_string(h.length) + " bytes";
    return false;
  }
  if (h.stamp != 0) {
    *error = "stamp " + std::to_string(h.stamp);
    return false;
  }
  datagram->opus = data + kMediaHeaderSize;
  datagram->opus_size = h.length;
  return true;
}

}  // namespace receiver::wire
