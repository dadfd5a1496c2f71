#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "services/audio/source/i_audio_source.h"

namespace crcp::audio {

// Where the datagrams go: the receiver's data port on the session's peer address.
struct AudioEndpoint {
  uint16_t port = 0;
  std::string host;
};

// Sends the source's packets to the receiver as UDP datagrams, each as many times in a
// row as the repeat count says. Between the capture thread and the send loop sits a
// bounded queue of six datagrams that holds the capture back instead of dropping.
class AudioSender {
 public:
  // Raises boost::system::system_error when the UDP socket cannot be opened or bound.
  explicit AudioSender(std::shared_ptr<audiosource::IAudioSource> source);
  ~AudioSender();
  AudioSender(const AudioSender&) = delete;
  AudioSender& operator=(const AudioSender&) = delete;

  void Connect(const AudioEndpoint& endpoint);
  // Read by the send loop for every datagram: a change applies from the next one on.
  void SetRepeatCount(uint32_t count);
  uint32_t GetRepeatCount() const;
  // Starts the send loop, the counter log loop and then the capture. Idempotent.
  void StartSender();
  // Stops the capture and both loops; returns promptly even while the capture is held
  // back by a full queue or the loop waits on an empty one. Idempotent.
  void StopSender();
  bool IsRunning() const;

  // Datagrams queued and datagrams whose repeats were all sent, since construction.
  uint64_t PacketsIn() const;
  uint64_t PacketsOut() const;

 private:
  class AudioSenderImpl;
  std::unique_ptr<AudioSenderImpl> impl_;
};

}  // namespace crcp::audio
