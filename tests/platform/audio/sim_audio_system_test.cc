#include "platform/audio/sim_audio_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace platform::audio {
namespace {

// Mutes the output again whenever it is unmuted, from inside the notification.
class Remuter : public EndpointObserver {
 public:
  explicit Remuter(AudioSystem* system) : system_(system) {}
  void OnDefaultDeviceChanged() override { ++changes; }
  void OnVolumeChanged(bool muted, float) override {
    ++volume_calls;
    if (!muted) system_->SetMute(true);
  }
  std::atomic<int> changes{0};
  std::atomic<int> volume_calls{0};

 private:
  AudioSystem* system_;
};

TEST(SimAudioSystemTest, ObserverMayCallBackAndStopsHearingOnceUnsubscribed) {
  SimAudioSystem sim;
  sim.AddEndpoint("speaker", "hda#speaker");
  sim.AddEndpoint("usb", "usb#vid_2e5a&pid_0b57");
  Remuter observer(&sim);
  auto volume = sim.SubscribeVolume(&observer);
  auto changes = sim.SubscribeEndpointChanges(&observer);
  EXPECT_EQ(sim.Subscriptions(), 2);

  sim.UserSetMute(false);  // notifies, the observer mutes, which notifies again
  EXPECT_TRUE(sim.MuteOf("speaker"));
  EXPECT_EQ(observer.volume_calls, 2);
  EXPECT_EQ(sim.Calls(), std::vector<std::string>{"SetMute(1)"});

  sim.UserSetDefault("usb");
  EXPECT_EQ(observer.changes, 1);
  sim.UserSetVolume(0.5f);  // another endpoint now: the volume registration is for "speaker"
  EXPECT_EQ(observer.volume_calls, 2);

  volume.reset();
  changes.reset();
  EXPECT_EQ(sim.Subscriptions(), 0);
  sim.UserSetDefault("speaker");
  sim.UserSetMute(false);
  EXPECT_EQ(observer.changes, 1);
  EXPECT_EQ(observer.volume_calls, 2);
}

TEST(SimAudioSystemTest, StreamReadsQueuedPacketsAndMovesTheClockByTheirGaps) {
  SimAudioSystem sim;
  sim.AddEndpoint("speaker", "hda#speaker", MixFormat{44100, 2, SampleType::kInt16});
  std::unique_ptr<LoopbackStream> stream;
  ASSERT_EQ(sim.OpenLoopback(&stream), AudioResult::kOk);
  EXPECT_EQ(stream->Format(), (MixFormat{44100, 2, SampleType::kInt16}));
  EXPECT_EQ(stream->WaitForData(std::chrono::milliseconds(1)), WaitResult::kTimeout);

  const auto start = sim.Now();
  sim.QueuePacket(std::vector<uint8_t>(40), 10);
  sim.QueuePacket({}, 5, true, std::chrono::milliseconds(150));
  EXPECT_EQ(stream->WaitForData(std::chrono::milliseconds(1)), WaitResult::kData);
  CapturePacket p;
  ASSERT_EQ(stream->ReadPacket(&p), ReadResult::kPacket);
  EXPECT_EQ(p.frames, 10u);
  EXPECT_FALSE(p.silent);
  stream->ReleasePacket();
  ASSERT_EQ(stream->ReadPacket(&p), ReadResult::kPacket);
  EXPECT_TRUE(p.silent);
  EXPECT_EQ(sim.Now() - start, std::chrono::milliseconds(150));
  stream->ReleasePacket();
  EXPECT_EQ(stream->ReadPacket(&p), ReadResult::kEmpty);

  sim.InjectStreamError();
  EXPECT_EQ(stream->WaitForData(std::chrono::milliseconds(1)), WaitResult::kError);
  stream.reset();
  EXPECT_EQ(sim.OpenStreams(), 0);

  sim.FailOpens(1);
  EXPECT_EQ(sim.OpenLoopback(&stream), AudioResult::kFailed);
  EXPECT_EQ(sim.OpenLoopback(&stream), AudioResult::kOk);
  EXPECT_EQ(sim.OpenAttempts(), 3);
}

}  // namespace
}  // namespace platform::audio
