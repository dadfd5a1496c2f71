#include "services/audio/source/opus_audio_source.h"

#include <gtest/gtest.h>
#include <opus.h>

#include <memory>
#include <vector>

#include "platform/audio/sim_audio_system.h"
#include "services/audio/source/audio_source_handler.h"
#include "tests/platform/audio/audio_fixtures.h"
#include "tests/services/audio/block_collector.h"

namespace audiosource {
namespace {

using namespace std::chrono_literals;
using platform::audio::MixFormat;
using platform::audio::SampleType;
using platform::audio::SimAudioSystem;

std::shared_ptr<SimAudioSystem> Speaker(const MixFormat& format) {
  auto sim = std::make_shared<SimAudioSystem>();
  sim->AddEndpoint("speaker", "hda#speaker", format);
  return sim;
}

// Queues `seconds` of a 1 kHz tone in 10 ms packets of the endpoint's format.
void QueueTone(SimAudioSystem& sim, const MixFormat& format, double seconds, double* phase) {
  const uint32_t frames = format.sample_rate / 100;
  for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
    sim.QueuePacket(audio_fixtures::MakeTone(format, frames, 1000.0, 0.5, phase), frames);
  }
}

TEST(AudioSourceHandlerTest, MakesOpusSourcesOnlyForTheExactName) {
  AudioSourceHandler handler(Speaker(MixFormat{}));
  EXPECT_EQ(handler.GetCodecs(), std::vector<std::string>{"opus"});
  for (const char* name : {"OPUS", "Opus", "opus ", "", "pcm"}) {
    EXPECT_EQ(handler.CreateSource(name), nullptr) << name;
  }
  auto source = handler.CreateSource("opus");
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->GetSampleRate(), 48000u);
  EXPECT_EQ(source->GetChannelCount(), 2u);
  EXPECT_EQ(source->GetFrameCountPerPacket(), 1920u);
}

TEST(AudioSourceHandlerTest, SourcesTakeTheMuteLocalOutputOption) {
  auto sim = Speaker(MixFormat{});
  AudioSourceHandler handler(sim);
  handler.SetMuteLocalOutput(true);
  auto source = handler.CreateSource("opus");
  ASSERT_NE(source, nullptr);
  source->SetSink([](const uint8_t*, unsigned) {});
  source->Start();
  EXPECT_TRUE(sim->MuteOf("speaker"));
  source->Stop();
  EXPECT_FALSE(sim->MuteOf("speaker"));
  EXPECT_EQ(sim->Calls(), (std::vector<std::string>{"SetMute(1)", "SetMute(0)", "SetMasterVolume(1.00)"}));
}

struct RoundTripCase {
  const char* name;
  MixFormat format;
};

class OpusRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

// Whatever the mix format, the standard decoder gets 40 ms packets of 1920 stereo
// frames at 48 kHz holding the same 1 kHz tone.
TEST_P(OpusRoundTripTest, ToneComesOutAsOneKilohertzAtFortyEightKilohertzStereo) {
  const MixFormat format = GetParam().format;
  auto sim = Speaker(format);
  double phase = 0.0;
  QueueTone(*sim, format, 1.2, &phase);

  BlockCollector packets;
  OpusAudioSource source(sim);
  source.SetSink(packets.Callback());
  source.Start();
  ASSERT_TRUE(packets.WaitFor(25));
  ASSERT_TRUE(sim->WaitQueueDrained(10s));
  source.Stop();

  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  ASSERT_EQ(error, OPUS_OK);
  std::vector<float> decoded;
  for (const auto& packet : packets.Blocks()) {
    ASSERT_GT(packet.size(), 0u);
    ASSERT_LE(packet.size(), 1024u);
    EXPECT_EQ(opus_packet_get_nb_frames(packet.data(), static_cast<opus_int32>(packet.size())) *
                  opus_packet_get_samples_per_frame(packet.data(), 48000),
              1920);
    std::vector<float> pcm(5760 * 2);
    const int frames = opus_decode_float(decoder, packet.data(), static_cast<opus_int32>(packet.size()),
                                         pcm.data(), 5760, 0);
    ASSERT_EQ(frames, 1920);
    decoded.insert(decoded.end(), pcm.begin(), pcm.begin() + 2 * frames);
  }
  opus_decoder_destroy(decoder);

  // Past the codec's and the resampler's start-up: five packets, a whole number of cycles.
  ASSERT_GE(decoded.size() / 2, 1920u * 10);
  const float* steady = decoded.data() + 2 * 1920 * 5;
  EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(steady, 9600, 48000.0), 1000.0, 3.0);
  EXPECT_GT(audio_fixtures::ToneShare(steady, 9600, 48000.0, 1000.0), 0.9);
  EXPECT_GT(audio_fixtures::Peak(steady, 9600), 0.1f);
}

INSTANTIATE_TEST_SUITE_P(
    MixFormats, OpusRoundTripTest,
    ::testing::Values(RoundTripCase{"f32_44100_stereo", {44100, 2, SampleType::kFloat32}},
                      RoundTripCase{"s16_44100_stereo", {44100, 2, SampleType::kInt16}},
                      RoundTripCase{"s16_48000_stereo", {48000, 2, SampleType::kInt16}},
                      RoundTripCase{"f32_48000_stereo", {48000, 2, SampleType::kFloat32}},
                      RoundTripCase{"f32_48000_6ch", {48000, 6, SampleType::kFloat32}}),
    [](const ::testing::TestParamInfo<RoundTripCase>& p) { return p.param.name; });

TEST(OpusAudioSourceTest, RestartsAfterStopAndKeepsTheNewSink) {
  const MixFormat format{48000, 2, SampleType::kFloat32};
  auto sim = Speaker(format);
  double phase = 0.0;
  OpusAudioSource source(sim);
  BlockCollector first, second;
  source.SetSink(first.Callback());
  source.Start();
  source.Start();  // ignored
  QueueTone(*sim, format, 0.08, &phase);
  ASSERT_TRUE(first.WaitFor(2));
  source.Stop();
  source.Stop();

  source.SetSink(second.Callback());
  source.Start();
  QueueTone(*sim, format, 0.08, &phase);
  ASSERT_TRUE(second.WaitFor(2));
  source.Stop();
  EXPECT_EQ(first.Count(), 2u);
  EXPECT_EQ(sim->OpenAttempts(), 2);
}

}  // namespace
}  // namespace audiosource
