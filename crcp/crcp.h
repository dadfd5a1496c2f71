#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "crcp/listener.h"

namespace crcp {

class ServiceManager;

// The session-protocol client. The owner gives it its service registry, a listener
// and the authentication key, and connects to a receiver's address and port; the
// facade drives the TCP connect, the handshake and the sessions and reports every
// result as a task on the protocol's task thread (so the owner marshals them to its
// own thread).
//
// One facade per process at a time: the first one brings up the protocol's runtime,
// and its destruction stops and tears the runtime down. Destroying it while sessions
// are up is clean: their listeners are detached, they are closed and their services
// stopped. It must not be destroyed from inside one of its own callbacks.
class Crcp {
 public:
  // (session id, code): 0 established (the id is the peer's uuid), -7 no TCP
  // connection, -13 the handshake failed, was malformed or did not finish in 5000 ms.
  using ConnectCallback = std::function<void(const std::string& session_id, int error_code)>;

  static constexpr int kConnected = 0;
  static constexpr int kNoConnection = -7;
  static constexpr int kHandshakeFailed = -13;

  Crcp(std::string client_id, std::shared_ptr<ServiceManager> service_manager);
  ~Crcp();
  Crcp(const Crcp&) = delete;
  Crcp& operator=(const Crcp&) = delete;

  void SetListener(std::shared_ptr<Listener> listener);
  // The key sent as "authKey" in the next handshakes.
  void SetAuthKey(const std::string& key);
  // False while another connect is pending (its callback has not been posted yet).
  bool Connect(const std::string& ip, uint16_t port, ConnectCallback callback);
  // Abandons the pending connect; its callback is never called.
  void Cancel();
  void CloseSession(const std::string& session_id);
  // The services set up for that session, in set-up order; empty for an unknown id.
  std::list<std::string> GetAvailableServices(const std::string& session_id);
  void SetHeartBeatTimeout(int milliseconds);

 private:
  class CrcpImpl;
  std::shared_ptr<CrcpImpl> impl_;
};

}  // namespace crcp
