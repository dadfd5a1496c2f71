#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The media packet of the mirror services' command links, the video data connection
// and the audio datagrams, as the receiver writes and reads it:
//
//   offset size field
//   0      4    type    big-endian; command id (low 16 bits, upper 16 zero), 0 on the
//                       video data connection, the sequence number of an audio datagram
//   4      4    length  big-endian; body bytes that follow
//   8      8    stamp   big-endian; 0 on commands and audio datagrams, the sample's
//                       stamp on video data
//   16     len  body    compact JSON (commands), one H.264 access unit (video data) or
//                       one Opus packet (audio datagrams)
namespace receiver::wire {

constexpr size_t kMediaHeaderSize = 16;
// The receiver takes video bodies up to 10 MiB.
constexpr uint32_t kMediaMaxBody = 0xA00000;
// The largest Opus packet the client's encoder makes.
constexpr uint32_t kMaxOpusPacket = 1024;

struct MediaHeader {
  uint32_t type = 0;
  uint32_t length = 0;
  uint64_t stamp = 0;
};

// Header as given (length included, so tests can lie), then the body.
std::vector<uint8_t> EncodeMediaPacket(const MediaHeader& header, const uint8_t* body, size_t size);
// type, length = body size, stamp.
std::vector<uint8_t> EncodeMediaPacket(uint32_t type, const std::string& body, uint64_t stamp = 0);
// A command packet: type = id, length = body size, stamp 0.
std::vector<uint8_t> EncodeMediaCommand(uint16_t id, const std::vector<uint8_t>& body);

// The header of the first 16 bytes; nullopt when fewer are given.
std::optional<MediaHeader> DecodeMediaHeader(const uint8_t* data, size_t size);

// One audio datagram: the header and the Opus bytes it frames.
struct AudioDatagram {
  MediaHeader header;
  const uint8_t* opus = nullptr;  // points into the decoded buffer
  size_t opus_size = 0;
};

// Strict: the declared length must be exactly what follows and at most kMaxOpusPacket,
// and the stamp must be 0. `error` says which rule failed.
bool DecodeAudioDatagram(const uint8_t* data, size_t size, AudioDatagram* datagram,
                         std::string* error);

}  // namespace receiver::wire
