#pragma once

#include <string>

#include "crcp/message_sender.h"

namespace crcp {

// A service offered over a session. The service registry is the only caller; every
// call except Shutdown comes from the session protocol's task thread, so an
// implementation must not block in it.
class IService {
 public:
  virtual ~IService() = default;

  // This side's service name: the registry key, matched against the peer's
  // "services" list, the launch answer's members and incoming "serviceId".
  virtual std::string GetServiceId() = 0;
  // The counterpart's name: the launch request is keyed by it.
  virtual std::string GetPeerServiceId() = 0;
  // A service message from the peer of `session_id`, payload untouched.
  virtual void HandleMsg(const std::string& session_id, const std::string& message) = 0;
  // The function through which the service sends its own messages.
  virtual void SetMessageSender(MessageSender sender) = 0;
  // The init context sent to the peer in the launch request; empty keeps the service
  // out of the launch. A launch under an id whose session is set up (a reconnect to
  // the same peer while its session lives) may still fail: that session's state must
  // stay untouched until SetupConnection.
  virtual std::string InitConnection(const std::string& session_id,
                                     const std::string& peer_address) = 0;
  // The peer's context from the launch answer; false: the service could not start
  // for this session (it is then stopped). On success the new state replaces whatever
  // served the id before.
  virtual bool SetupConnection(const std::string& session_id, const std::string& context) = 0;
  // Ends the service's part of one session (session closed, or launch failed).
  virtual void Disconnect(const std::string& session_id) = 0;
  // Never called by the library: it belongs to the service's owner.
  virtual void Shutdown() = 0;
};

}  // namespace crcp
