#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The media packet of the mirror services' command links and audio datagrams, as the
// receiver writes and reads it:
//
//   offset size field
//   0      4    type    big-endian; command id (low 16 bits) or datagram sequence number
//   4      4    length  big-endian; body bytes that follow
//   8      8    stamp   big-endian; 0 on commands and audio datagrams
//   16     len  body    compact JSON (commands) or one Opus packet (datagrams)
namespace receiver::wire {

constexpr size_t kMediaHeaderSize = 16;
// The largest Opus packet the client's encoder makes.
constexpr uint32_t kMaxOpusPacket = 1024;

struct MediaHeader {
  uint32_t type = 0;
  uint32_t length = 0;
  uint64_t stamp = 0;
};

std::vector<uint8_t> EncodeMediaPacket(uint32_t type, const std::string& body, uint64_t stamp = 0);

// False when fewer than 16 bytes are given.
bool DecodeMediaHeader(const uint8_t* data, size_t size, MediaHeader* header);

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
