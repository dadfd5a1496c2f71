#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "services/media_link/video_packet.h"

// Turns a fuzz input into a stream of well-framed media packets, so that the fuzzer
// spends its time on the command bodies rather than on the framing (which the link
// fuzzer covers). The input is a list of records:
//
//   u8 command  index into the link's command ids; one past the end is an unknown id
//   u8 length   body bytes that follow (fewer when the input ends first)
//   body
namespace fuzz {

inline std::vector<uint8_t> FrameCommands(const uint8_t* data, size_t size,
                                          std::initializer_list<uint16_t> ids) {
  std::vector<uint8_t> stream;
  const std::vector<uint16_t> known(ids);
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t which = data[at] % (known.size() + 1);
    const uint16_t id = which < known.size() ? known[which] : 0x7777;
    size_t length = data[at + 1];
    at += 2;
    if (length > size - at) length = size - at;
    const auto packet = crcp::video::SerializeVideoPacket(id, 0, data + at, length);
    stream.insert(stream.end(), packet.begin(), packet.end());
    at += length;
  }
  return stream;
}

}  // namespace fuzz
