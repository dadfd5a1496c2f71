#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/audio/audio_system.h"

struct soxr;

namespace platform::audio {

// Converts interleaved PCM of any sample type and channel count to stereo 32-bit float
// at the output rate: samples to float, channels mixed down (or mono spread) in the wave
// layout for that count, then band-limited rate conversion (libsoxr, high quality).
// Input of any size is taken in chunks and every output the resampler can give is
// handed on before Process returns, so nothing is held back but the filter's delay.
class Resampler {
 public:
  // Interleaved stereo float frames.
  using Output = std::function<void(const float* samples, size_t frames)>;

  Resampler();
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // False for a format without channels or rate, or when the resampler cannot be made.
  bool Init(const MixFormat& input, uint32_t output_rate);
  // Bytes need not end on a frame: a partial frame waits for the next call.
  bool Process(const uint8_t* data, size_t size, const Output& output);

  const MixFormat& input_format() const { return input_; }
  // Output frames the filter holds back (its delay), in output frames.
  double Delay() const;

  // The stereo mix of one input frame (exposed for tests).
  static void MixFrame(const float* in, uint32_t channels, float* left, float* right);

 private:
  bool ConvertChunk(const uint8_t* data, size_t frames, const Output& output);

  bool ready_ = false;
  MixFormat input_;
  uint32_t output_rate_ = 48000;
  soxr* soxr_ = nullptr;
  std::vector<uint8_t> carry_;   // the bytes of a partial frame
  std::vector<float> unpacked_;  // one chunk as floats, all input channels
  std::vector<float> stereo_;    // one chunk mixed to stereo at the input rate
  std::vector<float> out_;       // resampler output, drained in pieces of this size
};

}  // namespace platform::audio
