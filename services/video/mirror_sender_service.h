#pragma once

#include <functional>
#include <memory>
#include <string>

#include "crcp/i_service.h"
#include "services/video/client_listener.h"
#include "services/video/mirror_sender_session.h"
#include "services/video/screen_utils.h"
#include "services/video/source/i_video_source.h"
#include "services/video/video_source_manager.h"

namespace crcp::video {

// The video service of the session protocol, "video_mirror.c" to the receiver's
// "video_mirror.s". Per crcp session it keeps one sender session; its offer is
// {"version":1} and the receiver's launch answer is the setting of
// sender_setting_info.h.
class MirrorSenderService : public crcp::IService {
 public:
  // Consulted when the receiver asks to start; empty (the default): always allowed.
  using StartCheck = std::function<bool(const std::string& session_id)>;

  // Builds one shared pipeline per codec of `source`. `screen_utils`: default, the
  // display layer of this run.
  explicit MirrorSenderService(std::shared_ptr<IVideoSource> source,
                               std::shared_ptr<ScreenUtils> screen_utils = nullptr);
  // Releases every session.
  ~MirrorSenderService() override;

  std::string GetServiceId() override;
  std::string GetPeerServiceId() override;
  void HandleMsg(const std::string& session_id, const std::string& message) override;
  void SetMessageSender(crcp::MessageSender sender) override;
  std::string InitConnection(const std::string& session_id, const std::string& peer_address) override;
  bool SetupConnection(const std::string& session_id, const std::string& context) override;
  void Disconnect(const std::string& session_id) override;
  void Shutdown() override;

  void SetListener(std::shared_ptr<ClientListener> listener);
  void SetStartCheck(StartCheck check);
  // Empty (logged) for an unknown session, or one whose set-up failed.
  std::shared_ptr<MirrorSenderSession::IController> GetController(const std::string& session_id);

  std::shared_ptr<VideoSourceManager> source_manager() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace crcp::video
