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

  void SetupMirrorStart(uint16_t display_mode);
  void SetupMirrorStop();

  int GetStatus() const;

 private:
  class ClientCommandSessionImpl;
  std::unique_ptr<ClientCommandSessionImpl> impl_;
};

}  // namespace crcp::audio
