#include "platform/audio/audio_system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace platform::audio {
namespace {

// Bytes as a little-endian sound system delivers them: two frames of stereo.
struct SilenceCase {
  const char* name;
  SampleType type;
  std::vector<uint8_t> bytes;
  bool silent;
};

TEST(DigitalSilenceTest, OnlyAllZeroSamplesAreSilence) {
  const SilenceCase cases[] = {
      {"int16 zeros", SampleType::kInt16, std::vector<uint8_t>(8, 0), true},
      {"int16 one low bit in the last sample", SampleType::kInt16, {0, 0, 0, 0, 0, 0, 1, 0}, false},
      {"int16 -1 in the first sample", SampleType::kInt16, {0xff, 0xff, 0, 0, 0, 0, 0, 0}, false},
      {"int24 zeros", SampleType::kInt24, std::vector<uint8_t>(12, 0), true},
      {"int24 top byte of the last sample", SampleType::kInt24, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}, false},
      {"int32 zeros", SampleType::kInt32, std::vector<uint8_t>(16, 0), true},
      {"int32 sign bit", SampleType::kInt32, {0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"float zeros", SampleType::kFloat32, std::vector<uint8_t>(16, 0), true},
      {"float negative zeros", SampleType::kFloat32, {0, 0, 0, 0x80, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x80}, true},
      {"float smallest subnormal last", SampleType::kFloat32, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
       false},
      {"float -1.0", SampleType::kFloat32, {0, 0, 0, 0, 0, 0, 0x80, 0xbf, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"nothing", SampleType::kFloat32, {}, true},
  };
  for (const SilenceCase& c : cases) {
    EXPECT_EQ(IsDigitalSilence(c.bytes.data(), c.bytes.size(), c.type), c.silent) << c.name;
  }
}

}  // namespace
}  // namespace platform::audio
