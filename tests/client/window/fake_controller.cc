#include "tests/client/window/fake_controller.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "services/audio/source/audio_source_handler.h"

namespace {
FakeControllerState* g_last = nullptr;
}  // namespace

class Controller::Impl {
 public:
  FakeControllerState state;
  // The system sound, shared as the real Controller shares it (the local output muted).
  std::shared_ptr<audiosource::IAudioSource> sound;

  void Record(std::string call) {
    if (std::getenv("CASTORA_FAKE_CONTROLLER_TRACE")) {
      std::printf("controller: %s\n", call.c_str());
      std::fflush(stdout);
    }
    state.calls.push_back(std::move(call));
  }
};

std::vector<std::string> FakeControllerState::Take() { return std::exchange(calls, {}); }

bool FakeControllerState::Called(const std::string& call) const {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

FakeControllerState* LastFakeController() { return g_last; }

Controller::Controller(QSize screen_size) : impl_(std::make_unique<Impl>()) {
  g_last = &impl_->state;
  impl_->Record("Construct " + std::to_string(screen_size.width()) + "x" + std::to_string(screen_size.height()));
  if (std::getenv("CASTORA_FAKE_CONTROLLER_SHARE_SOUND")) {
    audiosource::AudioSourceHandler handler;
    handler.SetMuteLocalOutput(true);
    impl_->sound = handler.CreateSource("opus");
    impl_->sound->SetSink([](const uint8_t*, unsigned) {});
    impl_->sound->Start();
    impl_->Record("SharingSound");
  }
}

Controller::~Controller() {
  if (g_last == &impl_->state) g_last = nullptr;
  if (impl_->sound) {
    impl_->sound->Stop();
    impl_->sound.reset();
    impl_->Record("SoundStopped");
  }
}

void Controller::Connect(const QString& pin_code, const std::string& ip, uint16_t port) {
  impl_->Record("Connect " + ip + ":" + std::to_string(port) + " " + pin_code.toStdString());
}
void Controller::Cancel() { impl_->Record("Cancel"); }
void Controller::Disconnect() { impl_->Record("Disconnect"); }
crcp::info::DeviceInfo Controller::GetPeerInfo() {
  impl_->Record("GetPeerInfo");
  return impl_->state.peer;
}
bool Controller::HasRemoteInput() { return impl_->state.has_remote_input; }
void Controller::SetTimeout(int ms) { impl_->Record("SetTimeout " + std::to_string(ms)); }
void Controller::PlayVideo(MirrorType mode) {
  impl_->Record("PlayVideo " + std::to_string(static_cast<int>(mode)));
  impl_->state.video_playing = true;
}
bool Controller::TeardownVideo() {
  impl_->Record("TeardownVideo");
  return std::exchange(impl_->state.video_playing, false);
}
void Controller::PlayAudio() { impl_->Record("PlayAudio"); }
void Controller::TeardownAudio() { impl_->Record("TeardownAudio"); }
void Controller::StartRemoteInput() { impl_->Record("StartRemoteInput"); }
void Controller::StopRemoteInput() { impl_->Record("StopRemoteInput"); }

void Controller::OnToggleViceScreen(bool toggle) { impl_->Record("OnToggleViceScreen " + std::to_string(toggle)); }
void Controller::OnToggleKeepRatio(bool toggle) { impl_->Record("OnToggleKeepRatio " + std::to_string(toggle)); }
void Controller::OnToggleCaptureMouse(bool toggle) {
  impl_->Record("OnToggleCaptureMouse " + std::to_string(toggle));
}
void Controller::OnToggleEnhanceVideoQuality(bool toggle) {
  impl_->Record("OnToggleEnhanceVideoQuality " + std::to_string(toggle));
}
void Controller::OnToggleEnableHardwareAcceleration(bool toggle) {
  impl_->Record("OnToggleEnableHardwareAcceleration " + std::to_string(toggle));
}
