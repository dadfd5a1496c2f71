#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace crcp::video {

// Largest body the video links accept (10 MiB, inclusive).
constexpr uint32_t kVideoMaxBodyLength = 0xA00000;
// Largest body the audio command link accepts (16 MiB): it reads bodies beyond the
// video limit, but a length from the wire is still bounded before it is allocated.
constexpr uint32_t kAudioMaxBodyLength = 0x1000000;

// What differs between the media-packet links that share `Connection`: the video
// command and data connections use the defaults; the audio command connection
// fills in its own tags and texts, a 16 MiB body cap, no socket option, its teardown
// log lines and the session protocol's bind address.
struct ConnectionOptions {
  std::string log_tag = "MirrorVideo::Connection";
  std::string socket_log_tag = "MirrorVideo::AsioTcp";
  // A header that declares more than this many body bytes is an illegal packet.
  uint32_t max_body_length = kVideoMaxBodyLength;
  std::chrono::milliseconds connect_timeout{3000};
  // Start of the time-out line, "<prefix> <address>:<port> time out".
  std::string timeout_log_prefix = "sync conect to";
  // SO_SNDBUF set after connecting; 0 leaves the system's size.
  int send_buffer_size = 10240;
  // Log "connect error , ec message is {}" under the socket tag when a connect fails.
  bool log_connect_errors = true;
  // Log "socket close" and "Connection thread get" while tearing down.
  bool log_teardown = false;
  // Local address the socket is bound to (port 0) before connecting; empty: none.
  std::string bind_address;
};

}  // namespace crcp::video
