#include "services/video/session_listener.h"

#include <utility>

namespace crcp::video {

SessionListener::SessionListener(std::string session_id, std::shared_ptr<ClientListenerSlot> slot)
    : session_id_(std::move(session_id)), slot_(std::move(slot)) {}

void SessionListener::OnError(int code) {
  if (auto listener = slot_ ? slot_->Get() : nullptr) listener->OnError(session_id_, code);
}
void SessionListener::OnPlay() {
  if (auto listener = slot_ ? slot_->Get() : nullptr) listener->OnPlay(session_id_);
}
void SessionListener::OnPause() {
  if (auto listener = slot_ ? slot_->Get() : nullptr) listener->OnPause(session_id_);
}
void SessionListener::OnTeardown() {
  if (auto listener = slot_ ? slot_->Get() : nullptr) listener->OnTeardown(session_id_);
}

}  // namespace crcp::video
