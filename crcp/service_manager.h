#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

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
  // The service's init context, empty when the service is unknown or declines.
  std::string Init(const std::string& session_id, const std::string& peer_address,
                   const std::string& name);
  bool Setup(const std::string& session_id, const std::string& name,
             const std::string& context);
  void Stop(const std::string& session_id, const std::string& name);
  std::string GetPeerServiceId(const std::string& name);
  // The registered services' peer names, ascending.
  std::list<std::string> GetPeerServiceIds() const;

 private:
  std::shared_ptr<IService> Find(const std::string& name) const;

  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<IService>> services_;
  std::list<std::string> peer_ids_;
  MessageSender sender_;
};

}  // namespace crcp
