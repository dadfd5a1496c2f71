#include "platform/audio/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/platform/audio/audio_fixtures.h"

namespace platform::audio {
namespace {

using audio_fixtures::MakeTone;

struct FormatCase {
  const char* name;
  MixFormat format;
};

class ResamplerFormatTest : public ::testing::TestWithParam<FormatCase> {};

// Every mix format becomes the same clean 1 kHz tone at 48 kHz stereo, fed in pieces
// that do not end on frames.
TEST_P(ResamplerFormatTest, ToneKeepsItsPitchAtFortyEightKilohertz) {
  const MixFormat in = GetParam().format;
  Resampler resampler;
  ASSERT_TRUE(resampler.Init(in, 48000));
  double phase = 0.0;
  std::vector<uint8_t> input = MakeTone(in, in.sample_rate, 1000.0, 0.5, &phase);  // one second
  std::vector<float> out;
  auto collect = [&](const float* s, size_t frames) { out.insert(out.end(), s, s + frames * 2); };
  const size_t piece = 333;  // bytes
  for (size_t at = 0; at < input.size(); at += piece) {
    ASSERT_TRUE(resampler.Process(input.data() + at, std::min(piece, input.size() - at), collect));
  }
  const size_t frames = out.size() / 2;
  // All of the second but what the filter still holds.
  EXPECT_NEAR(static_cast<double>(frames) + resampler.Delay(), 48000.0, 2.0);
  // Measure well past the filter's start-up: 9600 frames is a whole number of cycles.
  ASSERT_GT(frames, 4800u + 9600u);
  const float* steady = out.data() + 2 * 4800;
  EXPECT_NEAR(audio_fixtures::ZeroCrossingFrequency(steady, 9600, 48000.0), 1000.0, 2.0);
  EXPECT_GT(audio_fixtures::ToneShare(steady, 9600, 48000.0, 1000.0), 0.95);
  for (size_t i = 0; i < 9600; ++i) EXPECT_NEAR(steady[2 * i], steady[2 * i + 1], 1e-6) << i;
}

INSTANTIATE_TEST_SUITE_P(
    MixFormats, ResamplerFormatTest,
    ::testing::Values(FormatCase{"f32_44100_stereo", {44100, 2, SampleType::kFloat32}},
                      FormatCase{"s16_44100_stereo", {44100, 2, SampleType::kInt16}},
                      FormatCase{"s16_48000_stereo", {48000, 2, SampleType::kInt16}},
                      FormatCase{"f32_48000_6ch", {48000, 6, SampleType::kFloat32}},
                      FormatCase{"s24_22050_mono", {22050, 1, SampleType::kInt24}},
                      FormatCase{"s32_96000_stereo", {96000, 2, SampleType::kInt32}},
                      FormatCase{"f32_8000_8ch", {8000, 8, SampleType::kFloat32}}),
    [](const ::testing::TestParamInfo<FormatCase>& p) { return p.param.name; });

// Input far larger than any internal buffer is converted whole, and all the output it
// yields comes out of the one call.
TEST(ResamplerTest, LargeInputIsNeitherOverrunNorCutShort) {
  const MixFormat in{44100, 2, SampleType::kFloat32};
  double phase = 0.0;
  std::vector<uint8_t> input = MakeTone(in, 2 * 44100, 1000.0, 0.5, &phase);

  size_t whole = 0;
  Resampler one;
  ASSERT_TRUE(one.Init(in, 48000));
  ASSERT_TRUE(one.Process(input.data(), input.size(), [&](const float*, size_t f) { whole += f; }));

  size_t pieces = 0;
  Resampler many;
  ASSERT_TRUE(many.Init(in, 48000));
  const size_t step = 441 * in.BlockAlign();
  for (size_t at = 0; at < input.size(); at += step) {
    ASSERT_TRUE(many.Process(input.data() + at, step, [&](const float*, size_t f) { pieces += f; }));
  }
  EXPECT_GT(whole, 96000u * 97 / 100);
  // The same filter delay either way: within one piece's worth of output.
  EXPECT_NEAR(static_cast<double>(whole), static_cast<double>(pieces), 481.0);
}

TEST(ResamplerTest, SameRateStereoFloatPassesSamplesUnchanged) {
  const MixFormat in{48000, 2, SampleType::kFloat32};
  std::vector<float> samples = {0.1f, -0.2f, 0.3f, -0.4f, 1.0f, -1.0f};
  Resampler resampler;
  ASSERT_TRUE(resampler.Init(in, 48000));
  std::vector<float> out;
  ASSERT_TRUE(resampler.Process(reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 4,
                                [&](const float* s, size_t f) { out.insert(out.end(), s, s + 2 * f); }));
  EXPECT_EQ(out, samples);
}

TEST(ResamplerTest, SixteenBitSamplesBecomeFloats) {
  const MixFormat in{48000, 2, SampleType::kInt16};
  const int16_t samples[] = {16384, -32768, 0, 32767};
  Resampler resampler;
  ASSERT_TRUE(resampler.Init(in, 48000));
  std::vector<float> out;
  ASSERT_TRUE(resampler.Process(reinterpret_cast<const uint8_t*>(samples), sizeof(samples),
                                [&](const float* s, size_t f) { out.insert(out.end(), s, s + 2 * f); }));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], -1.0f);
  EXPECT_FLOAT_EQ(out[2], 0.0f);
  EXPECT_NEAR(out[3], 1.0f, 1e-4);
}

TEST(ResamplerTest, MixDownKeepsFullScaleAndDropsLowFrequencyChannel) {
  struct Case {
    uint32_t channels;
    std::vector<float> frame;
    float left, right;
  };
  const float c = 0.70710678f / (1.0f + 2 * 0.70710678f);  // centre share in 5.1
  const std::vector<Case> cases = {
      {1, {0.5f}, 0.5f, 0.5f},
      {6, {1, 1, 1, 1, 1, 1}, 1.0f, 1.0f},           // never beyond full scale
      {6, {0, 0, 1, 0, 0, 0}, c, c},                 // centre to both sides
      {6, {0, 0, 0, 1, 0, 0}, 0.0f, 0.0f},           // LFE is left out
      {6, {1, 0, 0, 0, 0, 0}, 1.0f / (1.0f + 2 * 0.70710678f), 0.0f},
      {4, {0, 0, 0, 1}, 0.0f, 0.70710678f / 1.70710678f},
  };
  for (const Case& k : cases) {
    float l = -9, r = -9;
    Resampler::MixFrame(k.frame.data(), k.channels, &l, &r);
    EXPECT_NEAR(l, k.left, 1e-6) << k.channels;
    EXPECT_NEAR(r, k.right, 1e-6) << k.channels;
  }
}

TEST(ResamplerTest, RejectsFormatWithoutChannelsOrRate) {
  Resampler resampler;
  EXPECT_FALSE(resampler.Init({48000, 0, SampleType::kFloat32}, 48000));
  EXPECT_FALSE(resampler.Init({0, 2, SampleType::kFloat32}, 48000));
  uint8_t byte = 0;
  EXPECT_FALSE(resampler.Process(&byte, 1, nullptr));
}

}  // namespace
}  // namespace platform::audio
