#include "services/video/client_session_manager.h"

#include <utility>
#include <vector>

#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::ClientSessionManager";
}  // namespace

ClientSessionManager::~ClientSessionManager() { Clear(); }

void ClientSessionManager::RegisterSession(const std::string& id, const std::string& address,
                                           MirrorSenderSessionImpl::StartCheck start_check) {
  auto session = std::make_shared<MirrorSenderSessionImpl>(id, address, std::move(start_check));
  std::shared_ptr<MirrorSenderSessionImpl> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = sessions_[id];
    if (slot && slot->GetController()) {
      // A reconnect to the same receiver while its session streams: planned.
      LOG_INFO("RegisterSession Session is exist!!OAO");
      LOG_INFO("Session {} is set up: the new one waits until it is set up too", id);
      replaced = std::move(waiting_[id]);
      waiting_[id] = std::move(session);
    } else {
      // Only a session that never got set up is replaced: a launch that went no
      // further, or a second Init within one launch.
      if (slot) LOG_ERROR("RegisterSession Session is exist!!OAO");
      replaced = std::move(slot);
      slot = std::move(session);
    }
  }
}

std::shared_ptr<MirrorSenderSessionImpl> ClientSessionManager::TakeForSetup(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto waiting = waiting_.find(id);
  if (waiting != waiting_.end()) {
    auto session = std::move(waiting->second);
    waiting_.erase(waiting);
    return session;
  }
  const auto it = sessions_.find(id);
  if (it == sessions_.end() || it->second->GetController()) return nullptr;
  return it->second;
}

void ClientSessionManager::Promote(const std::string& id,
                                   std::shared_ptr<MirrorSenderSessionImpl> session) {
  std::shared_ptr<MirrorSenderSessionImpl> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = sessions_[id];
    if (slot == session) return;
    replaced = std::move(slot);
    slot = std::move(session);
  }
}

bool ClientSessionManager::CheckSessionExist(const std::string& id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sessions_.count(id) == 0) {
    LOG_ERROR("CheckSessionExist Session is not exist!!OAO");
    return false;
  }
  return true;
}

std::shared_ptr<MirrorSenderSessionImpl> ClientSessionManager::GetSession(const std::string& id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sessions_.find(id);
  if (it == sessions_.end()) {
    LOG_ERROR("Get Session fail, session_id: {} is not exist", id);
    return nullptr;
  }
  return it->second;
}

void ClientSessionManager::ReleaseSession(const std::string& id) {
  std::shared_ptr<MirrorSenderSessionImpl> released, waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto pending = waiting_.find(id);
    if (pending != waiting_.end()) {
      waiting = std::move(pending->second);
      waiting_.erase(pending);
    }
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) {
      LOG_ERROR("ReleaseSession id {} is not exist!!OAO", id);
      return;
    }
    released = std::move(it->second);
    sessions_.erase(it);
  }
}

void ClientSessionManager::Clear() {
  Map released, waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(sessions_);
    waiting.swap(waiting_);
  }
}

size_t ClientSessionManager::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

}  // namespace crcp::video
