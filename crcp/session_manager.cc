#include "crcp/session_manager.h"

#include "crcp/runtime.h"
#include "crcp/session.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::SessionManager";
}

SessionManager::SessionManager() = default;

SessionManager::~SessionManager() {
  LOG_INFO("Prepare to destroy session manager");
  CloseAll();
}

void SessionManager::CloseAll() {
  std::unordered_map<std::string, std::shared_ptr<Session>> sessions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions.swap(sessions_);
  }
  for (auto& entry : sessions) {
    // No listener may be called back into an owner that is going away.
    entry.second->SetListener(nullptr);
    entry.second->Close();
  }
  sessions.clear();
}

bool SessionManager::AddSession(std::shared_ptr<Session> session) {
  const std::string id = session->GetId();
  std::shared_ptr<Session> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(id);
    if (it != sessions_.end() && it->second != session) old = it->second;
    sessions_[id] = session;
  }
  if (old) {
    LOG_INFO("Close session {}, replaced by a new session with the same id", id);
    old->Close();
    old->ReleaseServices();
  }
  LOG_INFO("Add session {}", id);
  return true;
}

void SessionManager::CloseSession(const std::string& id) {
  std::weak_ptr<SessionManager> weak = weak_from_this();
  Runtime::PostTask(fmt::format("Close session {}", id), [weak, id] {
    auto self = weak.lock();
    if (!self) return;
    auto session = self->GetSession(id);
    if (!session) return;
    LOG_INFO("Close session {}", id);
    session->Close();
  });
}

void SessionManager::RemoveSession(const std::string& id, std::weak_ptr<Session> which) {
  std::weak_ptr<SessionManager> weak = weak_from_this();
  Runtime::PostTask("Remove session from session manager to destruct", [weak, id, which] {
    auto self = weak.lock();
    if (!self) return;
    std::shared_ptr<Session> removed;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      auto it = self->sessions_.find(id);
      auto target = which.lock();
      if (it != self->sessions_.end() && target && it->second == target) {
        removed = std::move(it->second);
        self->sessions_.erase(it);
      }
    }
    LOG_INFO("Remove session {}", id);
    // `removed` goes here, on the task thread; its destruction stops its services.
  });
}

std::shared_ptr<Session> SessionManager::GetSession(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : it->second;
}

void SessionManager::TransferMsg(const std::string& session_id, const std::string& service_id,
                                 const std::string& message) {
  auto session = GetSession(session_id);
  if (!session) {
    LOG_ERROR_LIMITED("No session {} found, fail to transfer message to service: {}: {}",
                      session_id, service_id, ::zorvax::utils::logger::Excerpt(message));
    return;
  }
  LOG_INFO_LIMITED("Transfer message to session: [{}], service: [{}]: {}", session_id, service_id,
                   ::zorvax::utils::logger::Excerpt(message));
  session->SendServiceMessage(service_id, message);
  // Services send from their own workers. If the session was removed meanwhile, this
  // may be the last reference, and the session's destruction stops its services, which
  // join those very workers: the reference is let go on the task thread instead.
  Runtime::PostTask("Release session after a service message",
                    [session = std::move(session)] {});
}

}  // namespace crcp
