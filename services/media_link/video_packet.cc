#include "services/media_link/video_packet.h"

#include <algorithm>
#include <utility>

namespace crcp::video {
namespace {

void PutU32(uint32_t v, uint8_t* out) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

uint32_t GetU32(const uint8_t* in) {
  return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
         (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

}  // namespace

void WriteVideoPacketHeader(uint32_t type, uint32_t length, uint64_t stamp, uint8_t* out) {
  PutU32(type, out);
  PutU32(length, out + 4);
  PutU32(static_cast<uint32_t>(stamp >> 32), out + 8);
  PutU32(static_cast<uint32_t>(stamp), out + 12);
}

std::vector<uint8_t> VideoPacket::Serialize() const {
  if (!IsComplete()) return {};
  std::vector<uint8_t> out(kVideoPacketHeaderSize + payload.size());
  WriteVideoPacketHeader(type, length, stamp, out.data());
  if (!payload.empty()) std::copy(payload.begin(), payload.end(), out.begin() + kVideoPacketHeaderSize);
  return out;
}

std::vector<uint8_t> SerializeVideoPacket(uint32_t type, uint64_t stamp, const uint8_t* body,
                                          size_t size) {
  // The length field is 32 bits wide; a larger body cannot be framed.
  if (size > UINT32_MAX || (size > 0 && body == nullptr)) return {};
  std::vector<uint8_t> out(kVideoPacketHeaderSize + size);
  WriteVideoPacketHeader(type, static_cast<uint32_t>(size), stamp, out.data());
  if (size > 0) std::copy(body, body + size, out.begin() + kVideoPacketHeaderSize);
  return out;
}

std::shared_ptr<VideoPacket> MakeEmptyVideoPacket() { return std::make_shared<VideoPacket>(); }

std::shared_ptr<VideoPacket> MakeVideoPacket(uint32_t type, uint64_t stamp,
                                             std::vector<uint8_t> payload) {
  auto packet = std::make_shared<VideoPacket>();
  packet->type = type;
  packet->length = static_cast<uint32_t>(payload.size());
  packet->stamp = stamp;
  packet->payload = std::move(payload);
  return packet;
}

bool ParseVideoPacketHeader(const uint8_t* bytes, size_t size, VideoPacket* packet) {
  if (bytes == nullptr || packet == nullptr || size < kVideoPacketHeaderSize) return false;
  packet->type = GetU32(bytes);
  packet->length = GetU32(bytes + 4);
  packet->stamp = (static_cast<uint64_t>(GetU32(bytes + 8)) << 32) | GetU32(bytes + 12);
  return true;
}

}  // namespace crcp::video
