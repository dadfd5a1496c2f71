#include "services/audio/source/audio_format_converter.h"

namespace audiosource {

bool AudioFormatConverter::Init(const platform::audio::MixFormat& input,
                                const platform::audio::MixFormat& output) {
  if (output.channels != 2 || output.type != platform::audio::SampleType::kFloat32) return false;
  return resampler_.Init(input, output.sample_rate);
}

bool AudioFormatConverter::Process(const uint8_t* data, size_t size) {
  return resampler_.Process(data, size, [this](const float* samples, size_t frames) {
    if (callback_) {
      callback_(reinterpret_cast<const uint8_t*>(samples), static_cast<unsigned>(frames * 2 * sizeof(float)));
    }
  });
}

}  // namespace audiosource
