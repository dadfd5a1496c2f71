#include "services/media_link/command_sender.h"

#include "services/media_link/video_packet.h"

namespace crcp::video {

std::vector<uint8_t> SendPacket(uint16_t id, const std::string& body) {
  return SerializeVideoPacket(id, 0, reinterpret_cast<const uint8_t*>(body.data()), body.size());
}

}  // namespace crcp::video
