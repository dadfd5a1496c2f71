#include "tests/client/window/fake_controller.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "services/audio/source/audio_source_handler.h"

namespace {

FakeControllerState* g_last = nullptr;

class FakeController : public IController {
 public:
  explicit FakeController(QSize screen_size) {
    g_last = &state_;
    Record("Construct " + std::to_string(screen_size.width()) + "x" + std::to_string(screen_size.height()));
    if (std::getenv("CASTORA_FAKE_CONTROLLER_SHARE_SOUND")) {
      audiosource::AudioSourceHandler handler;
      handler.SetMuteLocalOutput(true);
      sound_ = handler.CreateSource("opus");
      sound_->SetSink([](const uint8_t*, unsigned) {});
      sound_->Start();
      Record("SharingSound");
    }
  }
  ~FakeController() override {
    if (g_last == &state_) g_last = nullptr;
    if (sound_) {
      sound_->Stop();
      sound_.reset();
      Record("SoundStopped");
    }
  }

  void Connect(const QString& pin_code, const std::string& ip, uint16_t port) override {
    Record("Connect " + ip + ":" + std::to_string(port) + " " + pin_code.toStdString());
  }
  void Cancel() override { Record("Cancel"); }
  void Disconnect() override { Record("Disconnect"); }
  crcp::info::DeviceInfo GetPeerInfo() override {
    Record("GetPeerInfo");
    return state_.peer;
  }
  bool HasRemoteInput() override { return state_.has_remote_input; }
  void SetTimeout(int ms) override { Record("SetTimeout " + std::to_string(ms)); }
  void PlayVideo(MirrorType mode) override {
    Record("PlayVideo " + std::to_string(static_cast<int>(mode)));
    state_.video_playing = true;
  }
  bool TeardownVideo() override {
    Record("TeardownVideo");
    return std::exchange(state_.video_playing, false);
  }
  void PlayAudio() override { Record("PlayAudio"); }
  void TeardownAudio() override { Record("TeardownAudio"); }
  void StartRemoteInput() override { Record("StartRemoteInput"); }
  void StopRemoteInput() override { Record("StopRemoteInput"); }
  void SetSessionLocked(bool locked) override { Record("SetSessionLocked " + std::to_string(locked)); }

  void OnToggleViceScreen(bool toggle) override { Record("OnToggleViceScreen " + std::to_string(toggle)); }
  void OnToggleKeepRatio(bool toggle) override { Record("OnToggleKeepRatio " + std::to_string(toggle)); }
  void OnToggleCaptureMouse(bool toggle) override { Record("OnToggleCaptureMouse " + std::to_string(toggle)); }
  void OnToggleEnhanceVideoQuality(bool toggle) override {
    Record("OnToggleEnhanceVideoQuality " + std::to_string(toggle));
  }
  void OnToggleEnableHardwareAcceleration(bool toggle) override {
    Record("OnToggleEnableHardwareAcceleration " + std::to_string(toggle));
  }

 private:
  void Record(std::string call) {
    if (std::getenv("CASTORA_FAKE_CONTROLLER_TRACE")) {
      std::printf("controller: %s\n", call.c_str());
      std::fflush(stdout);
    }
    state_.calls.push_back(std::move(call));
  }

  FakeControllerState state_;
  // The system sound, shared as the real Controller shares it (the local output muted).
  std::shared_ptr<audiosource::IAudioSource> sound_;
};

}  // namespace

std::vector<std::string> FakeControllerState::Take() { return std::exchange(calls, {}); }

bool FakeControllerState::Called(const std::string& call) const {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

std::unique_ptr<IController> MakeFakeController(QSize screen_size) {
  return std::make_unique<FakeController>(screen_size);
}

FakeControllerState* LastFakeController() { return g_last; }
