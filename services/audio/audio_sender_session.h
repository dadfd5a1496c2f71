#pragma once

#include <cstdint>
#include <memory>

#include "services/audio/client_listener.h"
#include "services/audio/sender_setting_info.h"
#include "services/audio/source/i_audio_source_handler.h"

namespace crcp::audio {

// One audio session with the receiver: the system-sound source, the command session on
// the receiver's command port, the UDP sender aimed at its data port, and the
// controller the application starts and stops audio with. Nothing is captured or sent
// before the receiver accepts a start.
class AudioSenderSession {
 public:
  class IController {
   public:
    virtual ~IController() = default;
    virtual void Play(uint16_t display_mode) = 0;
    virtual void Teardown() = 0;
  };

  AudioSenderSession();
  // Stops the audio (OnTeardown when a sender was set), closes the command link, then
  // releases the sender and the source.
  ~AudioSenderSession();
  AudioSenderSession(const AudioSenderSession&) = delete;
  AudioSenderSession& operator=(const AudioSenderSession&) = delete;

  void SetSendCount(uint32_t count);
  // False, with the reason logged, when no codec matches, the source cannot be made,
  // the command link does not connect or the UDP socket cannot be opened or bound.
  bool Init(const std::shared_ptr<SenderSettingInfo>& setting,
            const std::shared_ptr<audiosource::IAudioSourceHandler>& handler);
  void SetListener(std::shared_ptr<ClientListener> listener);
  // Empty until Init succeeded.
  std::shared_ptr<IController> GetController() const;

 private:
  class AudioSenderSessionImpl;
  std::unique_ptr<AudioSenderSessionImpl> impl_;
};

}  // namespace crcp::audio
