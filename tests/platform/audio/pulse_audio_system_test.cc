#include "platform/audio/pulse_audio_system.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace platform::audio {
namespace {

class Quiet : public EndpointObserver {
 public:
  void OnDefaultDeviceChanged() override {}
  void OnVolumeChanged(bool, float) override {}
};

// With no sound server (CI), the real back-end answers every call with a failure at
// once; nothing hangs and nothing is spawned.
TEST(PulseAudioSystemTest, WithoutServerEveryCallFailsCleanly) {
  ::setenv("PULSE_SERVER", "unix:/nonexistent/castora-test/native", 1);
  PulseAudioSystem system;
  Endpoint endpoint;
  std::vector<Endpoint> endpoints;
  bool muted = false;
  float volume = 0.0f;
  EXPECT_EQ(system.GetDefaultEndpoint(&endpoint), AudioResult::kNoServer);
  EXPECT_EQ(system.ActiveEndpoints(&endpoints), AudioResult::kNoServer);
  EXPECT_EQ(system.SetDefaultEndpoint("x"), AudioResult::kNoServer);
  EXPECT_EQ(system.GetMute(&muted), AudioResult::kNoServer);
  EXPECT_EQ(system.SetMute(true), AudioResult::kNoServer);
  EXPECT_EQ(system.GetMasterVolume(&volume), AudioResult::kNoServer);
  EXPECT_EQ(system.SetMasterVolume(0.5f), AudioResult::kNoServer);
  Quiet observer;
  EXPECT_EQ(system.SubscribeEndpointChanges(&observer), nullptr);
  EXPECT_EQ(system.SubscribeVolume(&observer), nullptr);
  std::unique_ptr<LoopbackStream> stream;
  EXPECT_EQ(system.OpenLoopback(&stream), AudioResult::kNoServer);
  EXPECT_EQ(stream, nullptr);
}

}  // namespace
}  // namespace platform::audio
