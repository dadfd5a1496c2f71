#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "services/video/mirror_sender_session_impl.h"

namespace crcp::video {

// The video service's sessions by crcp session id. Sessions are destroyed outside the
// registry's lock: a session's destruction joins its threads.
//
// A second launch under an id whose session is set up (a reconnect to the same
// receiver while the share runs) may still fail: its session waits beside the one that
// streams and replaces it only once set up itself.
class ClientSessionManager {
 public:
  ~ClientSessionManager();

  // Makes a new session under `id`. One that is set up stays, the new one waits beside
  // it (replacing an earlier waiting one); one that is not set up is replaced.
  void RegisterSession(const std::string& id, const std::string& address,
                       MirrorSenderSessionImpl::StartCheck start_check);
  // The session to set up for `id`: the waiting one, taken out, else the registered one
  // while it is not set up; nothing otherwise.
  std::shared_ptr<MirrorSenderSessionImpl> TakeForSetup(const std::string& id);
  // `session`, now set up, becomes the one under `id`; the one it replaces goes.
  void Promote(const std::string& id, std::shared_ptr<MirrorSenderSessionImpl> session);
  bool CheckSessionExist(const std::string& id) const;
  std::shared_ptr<MirrorSenderSessionImpl> GetSession(const std::string& id) const;
  // Releases the session under `id` and one waiting beside it.
  void ReleaseSession(const std::string& id);
  void Clear();
  size_t Size() const;

 private:
  using Map = std::unordered_map<std::string, std::shared_ptr<MirrorSenderSessionImpl>>;

  mutable std::mutex mutex_;
  Map sessions_;
  Map waiting_;
};

}  // namespace crcp::video
