#include <gtest/gtest.h>
#include <opus.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/audio/pulse_audio_system.h"
#include "services/audio/source/opus_audio_source.h"
#include "tests/platform/audio/audio_fixtures.h"
#include "tests/platform/audio/pulse_test_server.h"
#include "tests/services/audio/block_collector.h"
#include "tests/services/audio/pulse_source_fixture.h"

namespace audiosource {
namespace {

using namespace std::chrono_literals;
using platform::audio::AudioResult;

// What the client does: the local output stays muted while shared, the receiver still
// gets the sound, and both come back as they were.
TEST_F(SourcePulseLiveTest, SharedSoundDecodesAsToneWhileTheSpeakerIsSilent) {
  TonePlayer player;
  ASSERT_TRUE(player.ok());
  BlockCollector packets;
  {
    OpusAudioSource source(system_);
    source.SetMuteLocalOutput(true);
    source.SetSink(packets.Callback());
    source.Start();
    // A fresh null sink first renders one long block (two seconds) before it follows
    // the capture's low latency; the tone is measured after that.
    ASSERT_TRUE(packets.WaitFor(100, 20s));
    EXPECT_EQ(RecordPeak("castora_speaker.monitor", 200), 0);
    EXPECT_EQ(DefaultId(), "castora_speaker");
    source.Stop();
  }
  bool muted = true;
  ASSERT_EQ(system_->GetMute(&muted), AudioResult::kOk);
  EXPECT_FALSE(muted);
  EXPECT_GT(RecordPeak("castora_speaker.monitor", 300), 9000);

  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  ASSERT_EQ(error, OPUS_OK);
  std::vector<float> decoded;
  for (const auto& packet : packets.Blocks()) {
    ASSERT_LE(packet.size(), 1024u);
    std::vector<float> pcm(5760 * 2);
    const int frames = opus_decode_float(decoder, packet.data(), static_cast<opus_int32>(packet.size()),
                                         pcm.data(), 5760, 0);
    ASSERT_EQ(frames, 1920);
    decoded.insert(decoded.end(), pcm.begin(), pcm.begin() + 2 * frames);
  }
  opus_decoder_destroy(decoder);
  const float* tail = decoded.data() + decoded.size() - 2 * 9600;
  EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(tail, 9600, 48000.0), 1000.0, 3.0);
  EXPECT_GT(audio_fixtures::ToneShare(tail, 9600, 48000.0, 1000.0), 0.9);
}

// Digital silence (a sink renders zeros while nothing plays) is not sent, but the
// quietest sound is: one sample of 1 every 10 ms.
TEST_F(SourcePulseLiveTest, SilenceIsNotSentButOneNonZeroSampleIs) {
  BlockCollector packets;
  OpusAudioSource source(system_);
  source.SetMuteLocalOutput(true);
  source.SetSink(packets.Callback());
  {
    TonePlayer zeros(TonePlayer::Sound::kZeros);
    ASSERT_TRUE(zeros.ok());
    source.Start();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(packets.Count(), 0u);
  }
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(packets.Count(), 0u);
  TonePlayer quiet(TonePlayer::Sound::kOneSampleEvery10ms);
  ASSERT_TRUE(quiet.ok());
  EXPECT_TRUE(packets.WaitFor(10, 20s));
  source.Stop();
}

// Without the option a listed device becomes the output while shared.
TEST_F(SourcePulseLiveTest, ListedDeviceIsTheOutputWhileSharedAndTheSpeakerReturns) {
  OpusAudioSource source(system_);
  source.SetSink([](const uint8_t*, unsigned) {});
  source.Start();
  EXPECT_EQ(DefaultId(), "castora_usb");
  source.Stop();
  EXPECT_EQ(DefaultId(), "castora_speaker");
}

}  // namespace
}  // namespace audiosource
