#include "crcp/service_manager.h"

#include <exception>
#include <vector>

#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::ServiceManager";
}

ServiceManager::ServiceManager() = default;

ServiceManager::~ServiceManager() {
  sender_ = nullptr;
  holders_.clear();
  peer_ids_.clear();
  services_.clear();
}

void ServiceManager::AddService(std::shared_ptr<IService> service) {
  if (!service) return;
  const std::string id = service->GetServiceId();
  const std::string peer_id = service->GetPeerServiceId();
  MessageSender sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    services_.emplace(id, service);
    sender = sender_;
    peer_ids_.push_back(peer_id);
    peer_ids_.sort();
  }
  if (sender) service->SetMessageSender(sender);
  LOG_INFO("Add service {} to service manager", id);
}

void ServiceManager::SetMessageSender(MessageSender sender) {
  std::vector<std::shared_ptr<IService>> services;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = sender;
    for (auto& entry : services_) services.push_back(entry.second);
  }
  for (auto& service : services) service->SetMessageSender(sender);
}

std::shared_ptr<IService> ServiceManager::Find(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = services_.find(name);
  return it == services_.end() ? nullptr : it->second;
}

void ServiceManager::Deliver(const std::string& session_id, const std::string& service_id,
                             std::string message) {
  auto service = Find(service_id);
  if (!service) {
    LOG_ERROR_LIMITED("No service: {} found, fail to deliver messag: {}",
                      ::zorvax::utils::logger::Excerpt(service_id),
                      ::zorvax::utils::logger::Excerpt(message));
    return;
  }
  service->HandleMsg(session_id, message);
}

std::string ServiceManager::Init(const std::string& session_id,
                                 const std::string& peer_address, const std::string& name,
                                 Holder holder) {
  auto service = Find(name);
  if (!service) {
    LOG_WARN("Fail to init service {}, not found", name);
    return {};
  }
  LOG_INFO("Session {} with ip {} init service {}", session_id, peer_address, name);
  std::string context = service->InitConnection(session_id, peer_address);
  if (!context.empty() && holder != 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    holders_[{session_id, name}].insert(holder);
  }
  return context;
}

bool ServiceManager::Release(const std::string& session_id, const std::string& name,
                             Holder holder) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = holders_.find({session_id, name});
    if (it != holders_.end()) {
      it->second.erase(holder);
      if (!it->second.empty()) {
        LOG_INFO("Session {} keeps service {}: another session under the id holds it",
                 session_id, name);
        return false;
      }
      holders_.erase(it);
    }
  }
  Stop(session_id, name);
  return true;
}

bool ServiceManager::Setup(const std::string& session_id, const std::string& name,
                           const std::string& context) {
  auto service = Find(name);
  if (!service) {
    LOG_WARN("Fail to setup service {}, not found", name);
    return false;
  }
  LOG_INFO("Session {} setup service {} with context {}", session_id, name,
           ::zorvax::utils::logger::Excerpt(context));
  if (service->SetupConnection(session_id, context)) {
    LOG_INFO("Setup successfully service {}", name);
    return true;
  }
  LOG_WARN("Fail to setup service {}, error when setup", name);
  return false;
}

void ServiceManager::Stop(const std::string& session_id, const std::string& name) {
  LOG_INFO("Session {} stop service {}", session_id, name);
  auto service = Find(name);
  if (!service) {
    LOG_WARN("Fail to stop service {}, not found", name);
    return;
  }
  // Stop runs from session destructors and failure paths: a throwing service must
  // neither end the process nor keep the other services of the session running.
  try {
    service->Disconnect(session_id);
  } catch (const std::exception& e) {
    LOG_ERROR("Service {} threw when stopped: {}", name, e.what());
  } catch (...) {
    LOG_ERROR("Service {} threw when stopped", name);
  }
}

std::string ServiceManager::GetPeerServiceId(const std::string& name) {
  auto service = Find(name);
  return service ? service->GetPeerServiceId() : std::string();
}

std::list<std::string> ServiceManager::GetPeerServiceIds() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peer_ids_;
}

}  // namespace crcp
