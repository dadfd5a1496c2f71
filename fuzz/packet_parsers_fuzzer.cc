// Feeds arbitrary bytes to the two wire parsers of the session protocol: the 64-byte
// message-packet header and the 16-byte heart-beat datagram. Anything that parses
// must serialise back to the same bytes (reserved header bytes aside).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "utils/logger.h"
#include "crcp/heart_beat_packet.h"
#include "crcp/message_packet.h"

// The parsers log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crcp::MessagePacket packet;
  if (crcp::MessagePacket::Deserialize(data, size, packet)) {
    // A body as long as the header says, when the input has it.
    size_t available = size - crcp::MessagePacket::kHeaderSize;
    if (packet.len <= available) {
      packet.body.assign(data + crcp::MessagePacket::kHeaderSize,
                         data + crcp::MessagePacket::kHeaderSize + packet.len);
      auto bytes = crcp::MessagePacket::Serialize(packet);
      if (bytes.size() != crcp::MessagePacket::kHeaderSize + packet.len) std::abort();
      if (std::memcmp(bytes.data(), data, 24) != 0) std::abort();
    }
  }
  crcp::HeartBeatPacket beat;
  if (crcp::HeartBeatPacket::Deserialize(data, size, beat)) {
    auto bytes = crcp::HeartBeatPacket::Serialize(beat);
    if (bytes.size() != crcp::HeartBeatPacket::kSize || std::memcmp(bytes.data(), data, 16) != 0)
      std::abort();
  }
  return 0;
}
