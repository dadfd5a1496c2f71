#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace crcp::video {

// Every unit the video and audio mirror services exchange with the receiver is a
// media packet: a 16-byte big-endian header and a body.
//
//   offset 0  u32 type    command id in the low 16 bits (command links), 0 (video
//                         data), or the running sequence number (audio datagrams)
//   offset 4  u32 length  number of body bytes that follow
//   offset 8  u64 stamp   bytes 8-11 upper half, 12-15 lower half
//   offset 16 body        JSON text (commands) or one encoded sample
//
// The audio service uses the same record (its AudioPacket has the same fields and
// rules), so nothing here is specific to video.
constexpr size_t kVideoPacketHeaderSize = 16;

struct VideoPacket {
  uint32_t type = 0;
  uint32_t length = 0;  // declared body length
  uint64_t stamp = 0;
  std::vector<uint8_t> payload;

  VideoPacket() = default;
  VideoPacket(const VideoPacket&) = default;
  VideoPacket& operator=(const VideoPacket&) = default;
  // The readers hand the packet they filled on to a fresh record: the header fields
  // are copied and the payload is moved.
  VideoPacket(VideoPacket&&) noexcept = default;
  VideoPacket& operator=(VideoPacket&&) noexcept = default;

  // The body holds exactly `length` bytes.
  bool IsComplete() const { return payload.size() == length; }

  // Header in wire order followed by the payload; empty when the packet is not
  // complete (callers treat an empty result as nothing to send).
  std::vector<uint8_t> Serialize() const;
};

// A record with every header field 0 and an empty payload.
std::shared_ptr<VideoPacket> MakeEmptyVideoPacket();

// type (a 16-bit command id is stored zero-extended; the audio datagrams pass their
// 32-bit sequence number), length = payload size, stamp, payload moved in.
std::shared_ptr<VideoPacket> MakeVideoPacket(uint32_t type, uint64_t stamp,
                                             std::vector<uint8_t> payload);

// One-copy framing for producers that hold the body as raw bytes (encoded samples,
// audio datagrams): header for (type, size, stamp) followed by the bytes.
std::vector<uint8_t> SerializeVideoPacket(uint32_t type, uint64_t stamp, const uint8_t* body,
                                          size_t size);

// Writes the 16 header bytes for (type, length, stamp) to `out`.
void WriteVideoPacketHeader(uint32_t type, uint32_t length, uint64_t stamp, uint8_t* out);

// Reads type, length and stamp from the first 16 bytes into `packet`. False when
// `bytes` or `packet` is null or `size` is below 16. It checks no value and never
// looks at the body: limits are the reader's.
bool ParseVideoPacketHeader(const uint8_t* bytes, size_t size, VideoPacket* packet);

}  // namespace crcp::video
