#pragma once

#include <cstdint>
#include <functional>

namespace audiosource {

// A capture of raw system sound that hands out fixed-size PCM blocks.
class RawAudioCaptureImpl {
 public:
  using Callback = std::function<void(const uint8_t* data, unsigned size)>;

  virtual ~RawAudioCaptureImpl() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void SetCallback(Callback callback) = 0;
};

}  // namespace audiosource
