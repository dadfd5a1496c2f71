#pragma once

#include "services/media_link/video_packet.h"

namespace crcp::audio {

// The audio command link and the audio datagrams carry the same 16-byte media packet
// header as the video links, with the same record and the same rules; on datagrams the
// type field holds the running sequence number instead of a command id.
using AudioPacket = crcp::video::VideoPacket;

}  // namespace crcp::audio
