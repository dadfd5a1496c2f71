#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crcp::video {

// The command sender shared by the video and audio command sessions: the wire bytes
// of one command packet, type = the 16-bit command id (upper 16 bits 0), stamp 0,
// body = `body` (compact JSON text, or empty for a command without a body). The
// session hands the result to its connection's synchronous Send.
std::vector<uint8_t> SendPacket(uint16_t id, const std::string& body);

}  // namespace crcp::video
