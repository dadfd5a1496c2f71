#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "services/video/mirror_sender_session_impl.h"

namespace crcp::video {

// The video service's sessions by crcp session id. Sessions are destroyed outside the
// registry's lock: a session's destruction joins its threads.
class ClientSessionManager {
 public:
  ~ClientSessionManager();

  // Makes a new session under `id`, replacing (and destroying) one that exists.
  void RegisterSession(const std::string& id, const std::string& address,
                       MirrorSenderSessionImpl::StartCheck start_check);
  bool CheckSessionExist(const std::string& id) const;
  std::shared_ptr<MirrorSenderSessionImpl> GetSession(const std::string& id) const;
  void ReleaseSession(const std::string& id);
  void Clear();
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<MirrorSenderSessionImpl>> sessions_;
};

}  // namespace crcp::video
