#include "tests/receiver/wire_media_packet.h"

#include "tests/receiver/wire_bytes.h"

namespace receiver::wire {

std::vector<uint8_t> EncodeMediaPacket(uint32_t type, const std::string& body, uint64_t stamp) {
  std::vector<uint8_t> out(kMediaHeaderSize + body.size());
  PutBe32(out.data(), type);
  PutBe32(out.data() + 4, static_cast<uint32_t>(body.size()));
  PutBe64(out.data() + 8, stamp);
  for (size_t i = 0; i < body.size(); ++i) out[kMediaHeaderSize + i] = static_cast<uint8_t>(body[i]);
  return out;
}

bool DecodeMediaHeader(const uint8_t* data, size_t size, MediaHeader* header) {
  if (data == nullptr || size < kMediaHeaderSize) return false;
  header->type = GetBe32(data);
  header->length = GetBe32(data + 4);
  header->stamp = GetBe64(data + 8);
  return true;
}

bool DecodeAudioDatagram(const uint8_t* data, size_t size, AudioDatagram* datagram,
                         std::string* error) {
  if (!DecodeMediaHeader(data, size, &datagram->header)) {
    *error = "datagram shorter than the header";
    return false;
  }
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
