#include "services/audio/source/raw_audio_capture_win.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <vector>

#include "platform/audio/pulse_audio_system.h"
#include "platform/audio/sim_audio_system.h"
#include "tests/services/audio/block_collector.h"

namespace audiosource {
namespace {

using namespace std::chrono_literals;
using platform::audio::MixFormat;
using platform::audio::SampleType;
using platform::audio::SimAudioSystem;

const MixFormat kStereo48{48000, 2, SampleType::kFloat32};
constexpr size_t kBlockBytes = 1920 * 8;

// Stereo float frames numbered from `first`: left = n, right = -n.
std::vector<uint8_t> Ramp(uint32_t first, uint32_t frames) {
  std::vector<float> f(frames * 2);
  for (uint32_t i = 0; i < frames; ++i) {
    f[2 * i] = static_cast<float>(first + i);
    f[2 * i + 1] = -static_cast<float>(first + i);
  }
  std::vector<uint8_t> bytes(f.size() * sizeof(float));
  std::memcpy(bytes.data(), f.data(), bytes.size());
  return bytes;
}

// The frame number a block starts with, after checking that it counts up without a gap.
float FirstFrameOf(const std::vector<uint8_t>& block, float scale = 1.0f) {
  std::vector<float> f = BlockCollector::Floats(block);
  EXPECT_EQ(f.size(), 1920u * 2);
  for (size_t i = 1; i < f.size() / 2; ++i) {
    if (f[2 * i] != f[0] + scale * static_cast<float>(i) || f[2 * i + 1] != -f[2 * i]) {
      ADD_FAILURE() << "frame " << i << " breaks the ramp";
      break;
    }
  }
  return f[0];
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_shared<SimAudioSystem>();
    sim_->AddEndpoint("speaker", "hda#speaker", kStereo48);
  }

  std::unique_ptr<RawAudioCaptureWin> MakeCapture(std::chrono::milliseconds retry = 20ms) {
    auto capture = std::make_unique<RawAudioCaptureWin>(sim_);
    capture->SetCallback(blocks_.Callback());
    capture->SetRetryDelay(retry);
    return capture;
  }

  void QueueRamp(uint32_t first, uint32_t frames, std::chrono::milliseconds gap = 0ms) {
    sim_->QueuePacket(Ramp(first, frames), frames, false, gap);
  }

  // Runs the capture over whatever is queued and returns what it handed out.
  std::vector<std::vector<uint8_t>> CaptureQueued(size_t expected_blocks) {
    auto capture = MakeCapture();
    capture->Start();
    EXPECT_TRUE(blocks_.WaitFor(expected_blocks));
    EXPECT_TRUE(sim_->WaitQueueDrained(10s));
    capture->Stop();
    return blocks_.Blocks();
  }

  BlockCollector blocks_;
  std::shared_ptr<SimAudioSystem> sim_;
};

TEST_F(CaptureTest, OddPacketSizesAreCutIntoWholeBlocksInOrder) {
  uint32_t at = 0;
  for (uint32_t frames : {1000u, 7u, 2919u, 1u, 1833u}) {  // 5760 frames: three blocks
    QueueRamp(at, frames);
    at += frames;
  }
  auto blocks = CaptureQueued(3);
  ASSERT_EQ(blocks.size(), 3u);
  for (size_t b = 0; b < blocks.size(); ++b) {
    ASSERT_EQ(blocks[b].size(), kBlockBytes);
    EXPECT_EQ(FirstFrameOf(blocks[b]), static_cast<float>(b * 1920));
  }
}

TEST_F(CaptureTest, BlocksAreScaledByTheMasterVolume) {
  for (float volume : {1.0f, 0.5f, 0.25f}) {
    SCOPED_TRACE(volume);
    SetUp();
    blocks_.Clear();
    sim_->UserSetVolume(volume);
    QueueRamp(0, 1920);
    auto blocks = CaptureQueued(1);
    ASSERT_EQ(blocks.size(), 1u);
    std::vector<float> f = BlockCollector::Floats(blocks[0]);
    ASSERT_EQ(f.size(), 3840u);
    for (size_t i = 0; i < 1920; ++i) {
      ASSERT_EQ(f[2 * i], static_cast<float>(i) * volume) << i;
      ASSERT_EQ(f[2 * i + 1], -static_cast<float>(i) * volume) << i;
    }
  }
}

TEST_F(CaptureTest, VolumeChangeDuringCaptureScalesTheBlocksThatFollow) {
  auto capture = MakeCapture();
  capture->Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  QueueRamp(0, 1920);
  ASSERT_TRUE(blocks_.WaitFor(1));
  sim_->UserSetVolume(0.5f);
  QueueRamp(1920, 1920);
  ASSERT_TRUE(blocks_.WaitFor(2));
  capture->Stop();
  auto blocks = blocks_.Blocks();
  EXPECT_EQ(FirstFrameOf(blocks[0]), 0.0f);
  EXPECT_EQ(FirstFrameOf(blocks[1], 0.5f), 960.0f);
}

// One packet far longer than any buffer of the converter (a second at 44.1 kHz) comes
// out whole: 48000 frames less the resampler's delay, in 1920-frame blocks.
TEST_F(CaptureTest, LongPacketThroughTheConverterIsNeitherOverrunNorCut) {
  sim_->ClearEndpoints();
  const MixFormat format{44100, 2, SampleType::kFloat32};
  sim_->AddEndpoint("speaker", "hda#speaker", format);
  std::vector<float> samples(44100 * 2, 0.25f);
  std::vector<uint8_t> bytes(samples.size() * sizeof(float));
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  sim_->QueuePacket(bytes, 44100);
  auto blocks = CaptureQueued(24);
  EXPECT_EQ(blocks.size(), 24u);  // 46080 of the 48000 frames; the rest is in the filter
}

// More than 100 ms between two packets drops the partly filled block; 100 ms exactly
// does not.
TEST_F(CaptureTest, PauseLongerThanHundredMillisecondsDiscardsThePartialBlock) {
  struct Case {
    std::chrono::milliseconds gap;
    float first_frame;
  };
  for (const Case& c : {Case{0ms, 0.0f}, Case{100ms, 0.0f}, Case{101ms, 1000.0f}, Case{500ms, 1000.0f}}) {
    SCOPED_TRACE(c.gap.count());
    SetUp();
    blocks_.Clear();
    QueueRamp(0, 1000);
    QueueRamp(1000, 1920, c.gap);
    auto blocks = CaptureQueued(1);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(FirstFrameOf(blocks[0]), c.first_frame);
  }
}

TEST_F(CaptureTest, SilentPacketsAreDroppedAndNeverEncoded) {
  QueueRamp(0, 1000);
  sim_->QueuePacket(std::vector<uint8_t>(1920 * 8), 1920, true);
  sim_->QueuePacket({}, 480, true);  // no data at all
  QueueRamp(1000, 920);
  for (int i = 0; i < 4; ++i) sim_->QueuePacket(std::vector<uint8_t>(1920 * 8), 1920, true);
  auto blocks = CaptureQueued(1);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(FirstFrameOf(blocks[0]), 0.0f);
}

// A 16-bit mix at the target rate is converted to float all the same.
TEST_F(CaptureTest, SixteenBitMixAtTargetRateIsConvertedToFloat) {
  sim_->ClearEndpoints();
  sim_->AddEndpoint("speaker", "hda#speaker", MixFormat{48000, 2, SampleType::kInt16});
  std::vector<int16_t> samples(1920 * 2, 16384);
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  sim_->QueuePacket(bytes, 1920);
  auto blocks = CaptureQueued(1);
  ASSERT_EQ(blocks.size(), 1u);
  for (float f : BlockCollector::Floats(blocks[0])) ASSERT_EQ(f, 0.5f);
}

TEST_F(CaptureTest, DefaultDeviceChangeMovesTheCaptureToTheNewDevice) {
  sim_->AddEndpoint("headset", "usb#headset", MixFormat{48000, 2, SampleType::kInt16});
  auto capture = MakeCapture();
  capture->Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  EXPECT_EQ(sim_->Subscriptions(), 2);  // default changes, volume of the endpoint

  sim_->UserSetDefault("headset");
  ASSERT_TRUE(sim_->WaitOpenAttempts(2, 10s));
  std::vector<uint8_t> bytes(1920 * 4, 0);  // 16-bit: the new device's own format
  sim_->QueuePacket(bytes, 1920);
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture->Stop();
  EXPECT_EQ(sim_->OpenedEndpoints(), (std::vector<std::string>{"speaker", "headset"}));
  // Everything registered or opened during the capture is given back.
  EXPECT_EQ(sim_->Subscriptions(), 0);
  EXPECT_EQ(sim_->OpenStreams(), 0);
}

TEST_F(CaptureTest, BrokenStreamIsOpenedAgain) {
  auto capture = MakeCapture();
  capture->Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  sim_->InjectStreamError();
  ASSERT_TRUE(sim_->WaitOpenAttempts(2, 10s));
  QueueRamp(0, 1920);
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture->Stop();
  EXPECT_EQ(sim_->OpenStreams(), 0);
}

// Without a device the capture keeps trying, but waits between attempts instead of
// spinning.
TEST_F(CaptureTest, FailingOpenBacksOffBetweenAttempts) {
  sim_->SetOpenFailing(true);
  auto capture = MakeCapture(100ms);
  capture->Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(4, 10s));
  capture->Stop();
  auto times = sim_->OpenAttemptTimes();
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 100ms) << i;

  // And it recovers once the device is back.
  sim_->SetOpenFailing(false);
  capture->Start();
  QueueRamp(0, 1920);
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture->Stop();
}

TEST_F(CaptureTest, StopDuringBackOffReturnsWithoutWaitingItOut) {
  sim_->SetOpenFailing(true);
  auto capture = MakeCapture(std::chrono::hours(1));
  capture->Start();
  // After this failure the thread waits an hour unless the stop wakes it.
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  auto stopped = std::async(std::launch::async, [&] { capture->Stop(); });
  EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
}

TEST_F(CaptureTest, SecondStartIsIgnoredAndStopTwiceIsHarmless) {
  auto capture = MakeCapture();
  capture->Start();
  capture->Start();
  ASSERT_TRUE(sim_->WaitOpenAttempts(1, 10s));
  QueueRamp(0, 1920);
  EXPECT_TRUE(blocks_.WaitFor(1));
  capture->Stop();
  capture->Stop();
  EXPECT_EQ(sim_->OpenAttempts(), 1);
}

// The real back-end with no sound server (as in CI): the capture starts, keeps failing
// to open an endpoint without spinning, and stops at once.
TEST(CaptureWithoutSoundServerTest, StartsAndStopsCleanly) {
  ::setenv("PULSE_SERVER", "unix:/nonexistent/castora-test/native", 1);
  auto system = std::make_shared<platform::audio::PulseAudioSystem>();
  BlockCollector blocks;
  RawAudioCaptureWin capture(system);
  capture.SetCallback(blocks.Callback());
  capture.SetRetryDelay(std::chrono::hours(1));
  capture.Start();
  auto stopped = std::async(std::launch::async, [&] { capture.Stop(); });
  EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(blocks.Count(), 0u);
  ::unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace audiosource
