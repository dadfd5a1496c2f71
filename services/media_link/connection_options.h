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
  // TCP_NOTSENT_LOWAT set after connecting: the socket reports writable only while
  // fewer bytes than this wait unsent in the kernel. 0 leaves it unset.
  int unsent_limit = 0;
  // Log "connect error , ec message is {}" under the socket tag when a connect fails.
  bool log_connect_errors = true;
  // Log "socket close" and "Connection thread get" while tearing down.
  bool log_teardown = false;
  // Local address the socket is bound to (port 0) before connecting; empty: none.
  std::string bind_address;
};

// The video data connection. Little of the stream may wait in the kernel, so that a
// receiver reading slowly holds the pipeline back (its queue fills, the encoder waits)
// instead of letting stale frames pile up in socket buffers. A 10240-byte SO_SNDBUF
// means that on Winsock, whose overlapped sends are not bounded by it. On Linux it
// does not: the kernel doubles it, and it bounds the bytes not yet acknowledged as
// well as those not yet sent, so an access unit larger than about 20 KiB (every
// frame of a scrolling page) cannot be queued whole: its rest waits until the peer
// acknowledges the first part, which the peer's delayed-ACK timer may hold back for
// 40 ms or more. Those waits made the whole latency tail of a scrolling share. The
// bound that carries the intent is one on the unsent bytes only: TCP_NOTSENT_LOWAT
// beside the system's normal, self-tuning send buffer. Writes block once about this
// much (plus the segment being filled) waits unsent, and data already handed to the
// network no longer waits on the peer's acknowledgement timing.
constexpr int kVideoDataUnsentLimit = 10240;

inline ConnectionOptions VideoDataConnectionOptions() {
  ConnectionOptions options;
  options.send_buffer_size = 0;
  options.unsent_limit = kVideoDataUnsentLimit;
  return options;
}

}  // namespace crcp::video
