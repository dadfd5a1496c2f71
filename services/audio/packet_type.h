#pragma once

#include <cstdint>

namespace crcp::audio {

// Command ids of the audio command link, in the low 16 bits of the packet type.
enum PacketType : uint16_t {
  kStart = 1,                  // client: {"channelCount","codec","displayMode",
                               //          "frameCountPerPacket","sampleRate","sendCount"}
  kStop = 2,                   // client: empty body
  kStartResponse = 101,        // receiver: {"repeatSend","resultType"}
  kStopResponse = 102,         // receiver: ignored
  kReceiverStart = 151,        // receiver: {"displayMode"}
  kReceiverStop = 152,         // receiver: not read
  kReceiverStopResponse = 252, // client: {"resultType"}: 0 stopped, -1301 not playing
};

}  // namespace crcp::audio
