#pragma once

#include <cstdint>
#include <memory>

#include "services/audio/audio_sender_session.h"
#include "services/audio/client_command_session.h"

namespace crcp::audio {

// What the application starts and stops one session's audio with. Refers to the
// command session without keeping it: once the session is gone it does nothing.
class ClientSessionController : public AudioSenderSession::IController {
 public:
  explicit ClientSessionController(std::weak_ptr<ClientCommandSession> session);
  // The application passes display mode 0.
  void Play(uint16_t display_mode) override;
  void Teardown() override;

 private:
  std::weak_ptr<ClientCommandSession> session_;
};

}  // namespace crcp::audio
