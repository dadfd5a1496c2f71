#include "services/video/client_session_controller.h"

#include <utility>

#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::SenderController";
}  // namespace

ClientSessionController::ClientSessionController(
    std::weak_ptr<ClientCommandSession> command_session,
    std::weak_ptr<GlobalSourceController> source_controller)
    : command_session_(std::move(command_session)), source_controller_(std::move(source_controller)) {}

void ClientSessionController::Play(uint16_t display_mode) {
  if (auto session = command_session_.lock()) {
    session->SetupMirrorStart(display_mode);
    LOG_INFO("begin mirror video, mode is {}", display_mode);
  }
}

bool ClientSessionController::Pause() {
  auto session = command_session_.lock();
  if (!session) return false;
  const bool sent = session->SetupMirrorPause();
  LOG_INFO("begin pause video");
  return sent;
}

bool ClientSessionController::Teardown() {
  auto session = command_session_.lock();
  if (!session) return false;
  const bool sent = session->SetupMirrorStop();
  LOG_INFO("begin Teardown video");
  return sent;
}

bool ClientSessionController::IsStopped() {
  auto session = command_session_.lock();
  return !session || session->GetStatus() == kStatusStopped;
}

void ClientSessionController::KeepAspectRatio(bool keep) {
  if (auto session = command_session_.lock()) {
    session->SendKeepAspectRatio(keep);
    LOG_INFO("KeepAspectRatio set is {}", keep);
  }
}

void ClientSessionController::ChooseScreenNum(bool extended) {
  LOG_INFO("ChooseScreenNum is {}", extended);
  auto source = source_controller_.lock();
  if (!source) return;
  source->Pause();
  source->SetDisplayId(extended ? 1 : 0);
  source->Resume();
}

void ClientSessionController::EnableHDMode(bool enabled) {
  LOG_INFO("enable hd mode is {}", enabled);
  auto source = source_controller_.lock();
  if (!source) return;
  source->Pause();
  source->SetQualityMode(enabled);
  source->Resume();
}

void ClientSessionController::EnableHWAccel(bool enabled) {
  LOG_INFO("enable hw accel is {}", enabled);
  auto source = source_controller_.lock();
  if (!source) return;
  source->Pause();
  source->SetHardwareEnabled(enabled);
  source->Resume();
}

void ClientSessionController::SetCaptureCursor(bool capture) {
  LOG_INFO("SetCaptureCursor set is {}", capture);
  auto source = source_controller_.lock();
  if (!source) return;
  source->Pause();
  source->SetCaptureCursor(capture);
  source->Resume();
}

}  // namespace crcp::video
