#pragma once

#include <memory>

#include "services/video/client_command_session.h"
#include "services/video/global_source_controller.h"
#include "services/video/mirror_sender_session.h"

namespace crcp::video {

// The session controller over one session's command session and the shared pipeline.
// Holds both weakly: it never keeps a released session (or a gone service) alive.
class ClientSessionController : public MirrorSenderSession::IController {
 public:
  ClientSessionController(std::weak_ptr<ClientCommandSession> command_session,
                          std::weak_ptr<GlobalSourceController> source_controller);

  void Play(uint16_t display_mode) override;
  bool Pause() override;
  bool Teardown() override;
  bool IsStopped() override;
  void ChooseScreenNum(bool extended) override;
  void EnableHWAccel(bool enabled) override;
  void EnableHDMode(bool enabled) override;
  void KeepAspectRatio(bool keep) override;
  void SetCaptureCursor(bool capture) override;

 private:
  std::weak_ptr<ClientCommandSession> command_session_;
  std::weak_ptr<GlobalSourceController> source_controller_;
};

}  // namespace crcp::video
