#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "services/video/client_listener.h"
#include "services/video/mirror_sender_session.h"

namespace crcp::video {

// The service's client-listener slot: set from the GUI thread, read by every session's
// command worker, hence guarded.
class ClientListenerSlot {
 public:
  void Set(std::shared_ptr<ClientListener> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
  }
  std::shared_ptr<ClientListener> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<ClientListener> listener_;
};

// One session's listener: adds the session id and forwards each event to the client
// listener current at that moment (nothing while there is none).
class SessionListener : public MirrorSenderSession::Listener {
 public:
  SessionListener(std::string session_id, std::shared_ptr<ClientListenerSlot> slot);

  void OnError(int code) override;
  void OnPlay() override;
  void OnPause() override;
  void OnTeardown() override;

 private:
  const std::string session_id_;
  const std::shared_ptr<ClientListenerSlot> slot_;
};

}  // namespace crcp::video
