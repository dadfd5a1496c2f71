#include "platform/audio/pulse_audio_system.h"

#include <gtest/gtest.h>

#include <chrono>

namespace platform::audio {
namespace {

// Runs only where a sound server answers (a desktop session, or one started by hand);
// elsewhere it skips.
TEST(PulseAudioLiveTest, LoopbackOfDefaultSinkDeliversPacketsInItsFormat) {
  PulseAudioSystem system;
  Endpoint endpoint;
  if (system.GetDefaultEndpoint(&endpoint) != AudioResult::kOk) GTEST_SKIP() << "no sound server";
  EXPECT_FALSE(endpoint.id.empty());
  std::vector<Endpoint> endpoints;
  ASSERT_EQ(system.ActiveEndpoints(&endpoints), AudioResult::kOk);
  EXPECT_FALSE(endpoints.empty());
  float volume = -1.0f;
  ASSERT_EQ(system.GetMasterVolume(&volume), AudioResult::kOk);
  EXPECT_GE(volume, 0.0f);
  EXPECT_LE(volume, 1.0f);

  std::unique_ptr<LoopbackStream> stream;
  ASSERT_EQ(system.OpenLoopback(&stream), AudioResult::kOk);
  const MixFormat format = stream->Format();
  EXPECT_GT(format.sample_rate, 0u);
  EXPECT_GT(format.channels, 0u);
  ASSERT_EQ(stream->Start(), AudioResult::kOk);
  // A monitor delivers fragments (silence included) while the sink runs; a suspended
  // sink may deliver nothing, so only the absence of errors is required.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  uint64_t frames = 0;
  while (std::chrono::steady_clock::now() < deadline && frames < format.sample_rate / 10) {
    ASSERT_NE(stream->WaitForData(std::chrono::milliseconds(10)), WaitResult::kError);
    CapturePacket packet;
    ReadResult r;
    while ((r = stream->ReadPacket(&packet)) == ReadResult::kPacket) {
      frames += packet.frames;
      stream->ReleasePacket();
    }
    ASSERT_NE(r, ReadResult::kError);
  }
  RecordProperty("frames", static_cast<int>(frames));
}

}  // namespace
}  // namespace platform::audio
