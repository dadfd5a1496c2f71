#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "services/video/client_command_session.h"
#include "services/video/global_source_controller.h"
#include "services/video/mirror_sender_session.h"
#include "services/media_link/sender_setting_info.h"
#include "services/video/video_sender.h"
#include "services/video/video_source_manager.h"

namespace crcp::video {

// The sender side of one crcp session: the data and command connections to the
// receiver, the codec both sides agreed on, and the session controller the
// application drives it with.
class MirrorSenderSessionImpl {
 public:
  using StartCheck = ClientCommandSession::StartCheck;

  // `address`: the receiver's address as the session protocol gave it for this session.
  MirrorSenderSessionImpl(std::string session_id, std::string address, StartCheck start_check);
  // Releases, in turn, the controller, the pipeline reference, the command session
  // and the video sender.
  ~MirrorSenderSessionImpl();

  MirrorSenderSessionImpl(const MirrorSenderSessionImpl&) = delete;
  MirrorSenderSessionImpl& operator=(const MirrorSenderSessionImpl&) = delete;

  // Picks the first of the receiver's codecs that the source offers, connects the data
  // connection and then the command connection. Empty when any step failed; nothing
  // of a failed set-up stays connected.
  std::shared_ptr<MirrorSenderSession::IController> Init(const SenderSettingInfo& setting,
                                                         const VideoSourceManager& sources);
  void SetListener(std::shared_ptr<MirrorSenderSession::Listener> listener);
  std::shared_ptr<MirrorSenderSession::IController> GetController() const;

  const std::string& address() const { return address_; }
  const std::string& session_id() const { return session_id_; }
  // The codec agreed at Init; empty before.
  std::string codec() const;

 private:
  struct ListenerSlot {
    std::mutex mutex;
    std::shared_ptr<MirrorSenderSession::Listener> listener;
  };

  const StartCheck start_check_;
  mutable std::mutex mutex_;
  const std::string session_id_;
  const std::string address_;
  std::string codec_;
  const std::shared_ptr<ListenerSlot> listener_slot_ = std::make_shared<ListenerSlot>();
  std::shared_ptr<VideoSender> video_sender_;
  std::shared_ptr<ClientCommandSession> command_session_;
  std::shared_ptr<GlobalSourceController> source_controller_;
  std::shared_ptr<MirrorSenderSession::IController> controller_;
};

}  // namespace crcp::video
