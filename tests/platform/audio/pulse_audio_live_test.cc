#include "platform/audio/pulse_audio_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/audio/resampler.h"
#include "tests/platform/audio/audio_fixtures.h"
#include "tests/platform/audio/pulse_test_server.h"

namespace platform::audio {
namespace {

using namespace std::chrono_literals;

// Runs where a sound server answers or can be started (see PulseTestServer); skips
// elsewhere.
class PulseLiveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (kPulseUnderThreadSanitizer) {
      why_ = "libpulse is not instrumented for ThreadSanitizer";
      return;
    }
    server_ = new PulseTestServer();
    if (!server_->Start(&why_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_ == nullptr) GTEST_SKIP() << why_;
  }
  bool PrivateServer() const { return server_ != nullptr && server_->Private(); }

  // Reads the stream, converted to 48 kHz stereo float, until `frames` have come (a
  // fresh stream may take a while to deliver) or five seconds have passed.
  static std::vector<float> Capture(LoopbackStream& stream, size_t frames) {
    Resampler resampler;
    EXPECT_TRUE(resampler.Init(stream.Format(), 48000));
    std::vector<float> out;
    const size_t align = stream.Format().BlockAlign();
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end && out.size() < 2 * frames) {
      EXPECT_NE(stream.WaitForData(10ms), WaitResult::kError);
      CapturePacket p;
      while (stream.ReadPacket(&p) == ReadResult::kPacket) {
        if (!p.silent && p.data != nullptr) {
          resampler.Process(p.data, p.frames * align,
                            [&](const float* s, size_t f) { out.insert(out.end(), s, s + 2 * f); });
        }
        stream.ReleasePacket();
      }
    }
    return out;
  }

  static PulseTestServer* server_;
  static std::string why_;
};

PulseTestServer* PulseLiveTest::server_ = nullptr;
std::string PulseLiveTest::why_;

class Recorder : public EndpointObserver {
 public:
  void OnDefaultDeviceChanged() override {
    std::lock_guard<std::mutex> lock(m);
    ++changes;
    cv.notify_all();
  }
  void OnVolumeChanged(bool muted, float volume) override {
    std::lock_guard<std::mutex> lock(m);
    last_muted = muted;
    last_volume = volume;
    ++volume_calls;
    cv.notify_all();
  }
  template <typename Pred>
  bool Wait(Pred pred) {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, 5s, pred);
  }
  std::mutex m;
  std::condition_variable cv;
  int changes = 0;
  int volume_calls = 0;
  bool last_muted = false;
  float last_volume = -1.0f;
};

TEST_F(PulseLiveTest, LoopbackRecordsTheSinkInItsOwnFormat) {
  PulseAudioSystem system;
  TonePlayer player;
  ASSERT_TRUE(player.ok());
  std::unique_ptr<LoopbackStream> stream;
  ASSERT_EQ(system.OpenLoopback(&stream), AudioResult::kOk);
  ASSERT_EQ(stream->Start(), AudioResult::kOk);
  if (PrivateServer()) {
    EXPECT_EQ(stream->Format(), (MixFormat{44100, 2, SampleType::kInt16}));
    EXPECT_TRUE(stream->AppliesEndpointVolume());  // a null sink has software volume only
  }
  std::vector<float> sound = Capture(*stream, 24000);
  if (!PrivateServer()) return;  // someone else's server: its sinks may play anything
  ASSERT_GT(sound.size() / 2, 9600u + 4800u);
  const float* tail = sound.data() + sound.size() - 2 * 9600;
  EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(tail, 9600, 48000.0), 1000.0, 3.0);
  EXPECT_NEAR(audio_fixtures::Peak(tail, 9600), 10000.0f / 32768.0f, 0.02f);
}

// On this server a muted sink's monitor is silent; muting while a capture holds the
// system therefore diverts the output's streams, so that the speakers are silent and the
// capture still hears them. The stand-in that takes them is no output of its own.
TEST_F(PulseLiveTest, MutedOutputStaysSilentWhileItsSoundIsStillCaptured) {
  if (!PrivateServer()) GTEST_SKIP() << "changes the output: private server only";
  PulseAudioSystem system;
  TonePlayer player;
  ASSERT_TRUE(player.ok());
  EXPECT_GT(RecordPeak("castora_speaker.monitor", 300), 9000);

  auto hold = system.HoldForCapture();
  ASSERT_EQ(system.SetMute(true), AudioResult::kOk);
  std::vector<Endpoint> endpoints;
  ASSERT_EQ(system.ActiveEndpoints(&endpoints), AudioResult::kOk);
  ASSERT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(endpoints[0].id, "castora_speaker");
  EXPECT_EQ(endpoints[1].id, "castora_usb");
  bool muted = false;
  ASSERT_EQ(system.GetMute(&muted), AudioResult::kOk);
  EXPECT_TRUE(muted);
  Endpoint endpoint;
  ASSERT_EQ(system.GetDefaultEndpoint(&endpoint), AudioResult::kOk);
  EXPECT_EQ(endpoint.id, "castora_speaker");
  EXPECT_EQ(RecordPeak("castora_speaker.monitor", 300), 0);
  std::unique_ptr<LoopbackStream> stream;
  ASSERT_EQ(system.OpenLoopback(&stream), AudioResult::kOk);
  EXPECT_FALSE(stream->AppliesEndpointVolume());
  std::vector<float> sound = Capture(*stream, 24000);
  ASSERT_GT(sound.size(), 2u * 9600);
  EXPECT_GT(audio_fixtures::Peak(sound.data() + sound.size() - 2 * 9600, 9600), 0.25f);
  stream.reset();

  ASSERT_EQ(system.SetMute(false), AudioResult::kOk);
  ASSERT_EQ(system.GetMute(&muted), AudioResult::kOk);
  EXPECT_FALSE(muted);
  EXPECT_GT(RecordPeak("castora_speaker.monitor", 300), 9000);
}

TEST_F(PulseLiveTest, EndpointsVolumeAndNotifications) {
  if (!PrivateServer()) GTEST_SKIP() << "changes the output: private server only";
  PulseAudioSystem system;
  std::vector<Endpoint> endpoints;
  ASSERT_EQ(system.ActiveEndpoints(&endpoints), AudioResult::kOk);
  ASSERT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(endpoints[1].id, "castora_usb");
  EXPECT_EQ(endpoints[1].connected_device_id, "usb#vid_2e5a&pid_0b57");

  Recorder recorder;
  auto changes = system.SubscribeEndpointChanges(&recorder);
  auto volume = system.SubscribeVolume(&recorder);
  ASSERT_NE(changes, nullptr);
  ASSERT_NE(volume, nullptr);
  ASSERT_EQ(system.SetMasterVolume(0.5f), AudioResult::kOk);
  EXPECT_TRUE(recorder.Wait([&] { return recorder.last_volume > 0.49f && recorder.last_volume < 0.51f; }));
  float level = 0.0f;
  ASSERT_EQ(system.GetMasterVolume(&level), AudioResult::kOk);
  EXPECT_NEAR(level, 0.5f, 0.01f);
  ASSERT_EQ(system.SetMasterVolume(1.0f), AudioResult::kOk);

  ASSERT_EQ(system.SetDefaultEndpoint("castora_usb"), AudioResult::kOk);
  EXPECT_TRUE(recorder.Wait([&] { return recorder.changes >= 1; }));
  Endpoint endpoint;
  ASSERT_EQ(system.GetDefaultEndpoint(&endpoint), AudioResult::kOk);
  EXPECT_EQ(endpoint.id, "castora_usb");
  ASSERT_EQ(system.SetDefaultEndpoint("castora_speaker"), AudioResult::kOk);
  changes.reset();
  volume.reset();
}

}  // namespace
}  // namespace platform::audio
