#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/audio/audio_system.h"
#include "platform/audio/resampler.h"

namespace audiosource {

// Converts the endpoint's mix format to the capture's target format (stereo float at
// the wanted rate) and hands every converted buffer to the callback. Input of any size
// is taken; all the output it yields is handed on before Process returns.
class AudioFormatConverter {
 public:
  using Callback = std::function<void(const uint8_t* data, unsigned size)>;

  // False when the output is not stereo float or the input cannot be read.
  bool Init(const platform::audio::MixFormat& input, const platform::audio::MixFormat& output);
  bool Process(const uint8_t* data, size_t size);
  void SetCallback(Callback callback) { callback_ = std::move(callback); }

 private:
  platform::audio::Resampler resampler_;
  Callback callback_;
};

}  // namespace audiosource
