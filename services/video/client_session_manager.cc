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
    if (slot) {
      LOG_ERROR("RegisterSession Session is exist!!OAO");
      replaced = std::move(slot);
    }
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
  std::shared_ptr<MirrorSenderSessionImpl> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
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
  std::unordered_map<std::string, std::shared_ptr<MirrorSenderSessionImpl>> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(sessions_);
  }
}

size_t ClientSessionManager::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

}  // namespace crcp::video
