#pragma once

#include <cstdint>
#include <string>

namespace crcp {

// The owner's view of its sessions. Called on the session protocol's task thread:
// an implementation hands the news to its own thread and returns.
class Listener {
 public:
  virtual ~Listener() = default;

  // A session accepted from a peer that connected to this computer. The client never
  // accepts sessions, so the library never calls it.
  virtual void OnSessionAccepted(const std::string& session_id, const std::string& peer_address,
                                 uint16_t peer_port) {}
  // The session has closed (locally, by the peer, or after an error).
  virtual void OnClosed(const std::string& session_id) = 0;
  // The session failed: -1 the peer stopped answering, -3 a read failed, -8 an illegal
  // or out-of-sequence packet, -9 an unparsable body. OnClosed follows.
  virtual void OnError(const std::string& session_id, int code) = 0;
};

}  // namespace crcp
