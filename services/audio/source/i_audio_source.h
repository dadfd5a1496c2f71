#pragma once

#include <cstdint>
#include <functional>

namespace audiosource {

// An encoded-audio source as the audio service sees it.
class IAudioSource {
 public:
  // Receives each encoded packet; called on the source's capture thread.
  using Sink = std::function<void(const uint8_t* data, unsigned size)>;

  virtual ~IAudioSource() = default;
  // Starts capturing and delivering packets. The sink must be set first.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void SetSink(Sink sink) = 0;
  virtual uint32_t GetSampleRate() = 0;
  virtual uint32_t GetChannelCount() = 0;
  virtual uint32_t GetFrameCountPerPacket() = 0;
  // Whether the local output stays muted while the source captures.
  virtual void SetMuteLocalOutput(bool mute) = 0;
};

}  // namespace audiosource
