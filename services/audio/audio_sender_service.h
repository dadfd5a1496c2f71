#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "crcp/i_service.h"
#include "services/audio/audio_sender_session.h"
#include "services/audio/client_listener.h"
#include "services/audio/source/i_audio_source_handler.h"

namespace crcp::audio {

// The audio mirror service of the session protocol ("audio_mirror.c", peer
// "audio_mirror.s"). Per crcp session that launches it, it builds one audio sender
// session; each is keyed by the session id, so that a stale session's Disconnect or a
// second session's launch never tears down the audio of another.
class AudioSenderService : public crcp::IService {
 public:
  explicit AudioSenderService(std::shared_ptr<audiosource::IAudioSourceHandler> handler);
  ~AudioSenderService() override;

  std::string GetServiceId() override;
  std::string GetPeerServiceId() override;
  void HandleMsg(const std::string& session_id, const std::string& message) override;
  void SetMessageSender(crcp::MessageSender sender) override;
  // Makes an empty audio session for that session id; returns {"version":1}. One that
  // is set up stays until the new one is set up (a second launch under the same id may
  // still fail); the new one waits beside it.
  std::string InitConnection(const std::string& session_id, const std::string& peer_address) override;
  bool SetupConnection(const std::string& session_id, const std::string& setting) override;
  void Disconnect(const std::string& session_id) override;
  void Shutdown() override;

  void SetListener(std::shared_ptr<ClientListener> listener);
  // The controller of the session last set up, or empty.
  std::shared_ptr<AudioSenderSession::IController> GetController();
  // The controller of that session, or empty (unknown id, or not set up).
  std::shared_ptr<AudioSenderSession::IController> GetController(const std::string& session_id);

 private:
  struct Entry {
    std::string peer_address;
    std::unique_ptr<AudioSenderSession> session;
    // A newer launch's session, waiting beside the set-up one above.
    std::string waiting_address;
    std::unique_ptr<AudioSenderSession> waiting;
  };

  std::mutex mutex_;
  uint32_t send_count_ = 1;
  std::shared_ptr<ClientListener> listener_;
  std::map<std::string, Entry> sessions_;
  std::string last_setup_;  // id of the session set up last
  std::shared_ptr<audiosource::IAudioSourceHandler> handler_;
};

}  // namespace crcp::audio
