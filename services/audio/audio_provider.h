#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "services/audio/source/i_audio_source.h"

namespace crcp::audio {

// Frames each encoded packet of the source as one audio datagram: the media packet
// header with type = running sequence number (0 after every Start), length = packet
// size, stamp 0, then the packet's bytes.
class AudioProvider {
 public:
  using Callback = std::function<void(std::vector<uint8_t> datagram)>;

  // Installs itself as the source's sink; the destructor removes it again (waiting for
  // a packet being delivered), so the source may outlive the provider.
  explicit AudioProvider(std::shared_ptr<audiosource::IAudioSource> source);
  ~AudioProvider();
  AudioProvider(const AudioProvider&) = delete;
  AudioProvider& operator=(const AudioProvider&) = delete;

  void SetCallback(Callback callback);
  // Sequence back to 0, then the source's Start. Does nothing while running.
  void Start();
  // The source's Stop (which joins its capture thread). Does nothing while stopped.
  void Stop();
  // On the source's thread, for every encoded packet.
  void PushPacket(const uint8_t* data, unsigned size);

 private:
  std::shared_ptr<audiosource::IAudioSource> source_;
  // Guards running, sequence and callback: Start/Stop come from the command session's
  // threads while PushPacket runs on the capture thread.
  std::mutex mutex_;
  uint32_t sequence_ = 0;
  bool running_ = false;
  std::vector<uint8_t> last_datagram_;
  Callback callback_;
};

}  // namespace crcp::audio
