#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "crcp/i_service.h"
#include "crcp/message_sender.h"

namespace crcp {

// The registry of the services offered over sessions, keyed by GetServiceId. Shared
// by the owner, the client facade, the handshake and every session. Lookups copy the
// service under a short lock and call it outside, so a service may call back into
// the registry or send from its own threads.
class ServiceManager {
 public:
  ServiceManager();
  ~ServiceManager();
  ServiceManager(const ServiceManager&) = delete;
  ServiceManager& operator=(const ServiceManager&) = delete;

  // A second service under an id already present is not stored.
  void AddService(std::shared_ptr<IService> service);
  void SetMessageSender(MessageSender sender);
  void Deliver(const std::string& session_id, const std::string& service_id,
               std::string message);
  // Who holds a service's state under a session id. Sessions are keyed by the peer's
  // uuid, so a reconnect to the same receiver launches its services under the id of
  // the session it replaces, and the services keep one state per id. The rule, the
  // only one the library follows for this: every session that launched a service
  // under an id holds it there, from its Init on, and only the last holder to let go
  // stops it (Disconnect). A session lets go of what it did not set up when its
  // launch ends, and of the rest when it ends; so a predecessor's end, whenever it
  // comes, never stops what a same-id successor launched, and a failed successor's
  // end never stops what its live predecessor has.
  using Holder = uint64_t;  // a session's serial; 0 holds nothing

  // The service's init context, empty when the service is unknown or declines; a
  // context makes `holder` a holder of the service under the id.
  std::string Init(const std::string& session_id, const std::string& peer_address,
                   const std::string& name, Holder holder = 0);
  bool Setup(const std::string& session_id, const std::string& name,
             const std::string& context);
  // `holder` lets go of the service under the id; stops it unless another holder
  // remains. Returns whether it was stopped.
  bool Release(const std::string& session_id, const std::string& name, Holder holder);
  // Calls the service's Disconnect whoever holds it; an exception from it is logged,
  // not passed on.
  void Stop(const std::string& session_id, const std::string& name);
  std::string GetPeerServiceId(const std::string& name);
  // The registered services' peer names, ascending.
  std::list<std::string> GetPeerServiceIds() const;

 private:
  std::shared_ptr<IService> Find(const std::string& name) const;

  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<IService>> services_;
  // (session id, service name) -> the holders of that state.
  std::map<std::pair<std::string, std::string>, std::set<Holder>> holders_;
  std::list<std::string> peer_ids_;
  MessageSender sender_;
};

}  // namespace crcp
