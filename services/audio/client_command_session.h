#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "services/audio/audio_sender.h"
#include "services/audio/client_listener.h"

namespace crcp::audio {

// The command dialogue of one audio session with the receiver, over the audio command
// link: asks for a start with the stream's format and the wanted repeat count, applies
// the answer to the sender, answers the receiver's own start and stop, and reports to
// the listener. Received commands are handled on a worker of its own.
class ClientCommandSession {
 public:
  static constexpr int kStatusPlaying = 0;
  static constexpr int kStatusReady = 1;
  static constexpr int kStatusStartRequested = 2;

  ClientCommandSession();
  // Stops a running sender (OnTeardown once more), then tears the link down.
  ~ClientCommandSession();
  ClientCommandSession(const ClientCommandSession&) = delete;
  ClientCommandSession& operator=(const ClientCommandSession&) = delete;

  // 0, or the socket error's value.
  int Connect(const std::string& host, uint16_t port);
  void SetAudioFormat(uint32_t sample_rate, uint32_t channel_count, uint32_t frame_count_per_packet);
  void SetCodec(const std::string& codec);
  void SetSender(std::shared_ptr<AudioSender> sender);
  void SetListener(std::shared_ptr<ClientListener> listener);
  void SetSendCount(uint32_t count);

  // The owner's start and stop. The receiver's own start (151) is taken only between
  // them, that is while the user shares; at any other time it is refused as a start
  // in a wrong status is, and nothing is captured. A stop while the start's answer is
  // due calls the start off, and the next start goes out without waiting for it. An
  // answer counts only while a start waits for one: the first accepting answer then
  // plays, whichever start it answers. At any other time an answer captures nothing
  // (an accepting one that may answer a called-off start is followed by a stop at once).
  void SetupMirrorStart(uint16_t display_mode);
  void SetupMirrorStop();

  int GetStatus() const;

 private:
  class ClientCommandSessionImpl;
  std::unique_ptr<ClientCommandSessionImpl> impl_;
};

}  // namespace crcp::audio
