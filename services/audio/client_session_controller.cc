#include "services/audio/client_session_controller.h"

#include <utility>

namespace crcp::audio {

ClientSessionController::ClientSessionController(std::weak_ptr<ClientCommandSession> session)
    : session_(std::move(session)) {}

void ClientSessionController::Play(uint16_t display_mode) {
  if (auto session = session_.lock()) session->SetupMirrorStart(display_mode);
}

void ClientSessionController::Teardown() {
  if (auto session = session_.lock()) session->SetupMirrorStop();
}

}  // namespace crcp::audio
