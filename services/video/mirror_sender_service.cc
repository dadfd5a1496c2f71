#include "services/video/mirror_sender_service.h"

#include <mutex>
#include <utility>

#include "services/video/client_session_manager.h"
#include "services/media_link/sender_setting_info.h"
#include "services/video/session_listener.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::SenderService";
}  // namespace

class MirrorSenderService::Impl {
 public:
  struct StartCheckSlot {
    std::mutex mutex;
    StartCheck check;
  };

  Impl(std::shared_ptr<IVideoSource> source, std::shared_ptr<ScreenUtils> screen_utils)
      : sources(std::make_shared<VideoSourceManager>(std::move(source), std::move(screen_utils))) {}

  // What each command session consults: the check current at that moment.
  MirrorSenderSessionImpl::StartCheck SessionStartCheck() const {
    return [slot = start_check](const std::string& session_id) {
      StartCheck check;
      {
        std::lock_guard<std::mutex> lock(slot->mutex);
        check = slot->check;
      }
      return !check || check(session_id);
    };
  }

  const std::shared_ptr<StartCheckSlot> start_check = std::make_shared<StartCheckSlot>();
  const std::shared_ptr<ClientListenerSlot> listener = std::make_shared<ClientListenerSlot>();
  const std::shared_ptr<VideoSourceManager> sources;
  ClientSessionManager sessions;
};

MirrorSenderService::MirrorSenderService(std::shared_ptr<IVideoSource> source,
                                         std::shared_ptr<ScreenUtils> screen_utils)
    : impl_(std::make_unique<Impl>(std::move(source), std::move(screen_utils))) {}

MirrorSenderService::~MirrorSenderService() {
  // Sessions first: they stop their senders on the shared pipelines.
  impl_->sessions.Clear();
  impl_.reset();
}

std::string MirrorSenderService::GetServiceId() { return "video_mirror.c"; }
std::string MirrorSenderService::GetPeerServiceId() { return "video_mirror.s"; }
void MirrorSenderService::HandleMsg(const std::string&, const std::string&) {}
void MirrorSenderService::SetMessageSender(crcp::MessageSender) {}

std::string MirrorSenderService::InitConnection(const std::string& session_id,
                                                const std::string& peer_address) {
  LOG_INFO("[Video][Sender][Init]");
  impl_->sessions.RegisterSession(session_id, peer_address, impl_->SessionStartCheck());
  if (impl_->sources->Codecs().empty()) {
    LOG_ERROR("GetEncodeList false");
    return std::string();
  }
  return CreateSenderOffer();
}

bool MirrorSenderService::SetupConnection(const std::string& session_id, const std::string& context) {
  LOG_INFO("[Video][Sender][Setup]");
  // A session that waits beside one that streams replaces it only once set up: a
  // failed setup leaves the stream alone.
  auto session = impl_->sessions.TakeForSetup(session_id);
  if (!session) {
    LOG_ERROR("sender is not exist");
    return false;
  }
  auto setting = CreateSetting(session->address(), context);
  if (!setting) return false;
  if (!session->Init(*setting, *impl_->sources)) {
    LOG_ERROR("sender session init faile");
    return false;
  }
  session->SetListener(std::make_shared<SessionListener>(session_id, impl_->listener));
  impl_->sessions.Promote(session_id, std::move(session));
  return true;
}

void MirrorSenderService::Disconnect(const std::string& session_id) {
  LOG_INFO("[Video][Sender][Disconnect]");
  impl_->sessions.ReleaseSession(session_id);
}

void MirrorSenderService::Shutdown() {
  LOG_INFO("[Video][Sender][Shutdown]");
  impl_->sessions.Clear();
}

void MirrorSenderService::SetListener(std::shared_ptr<ClientListener> listener) {
  impl_->listener->Set(std::move(listener));
}

void MirrorSenderService::SetStartCheck(StartCheck check) {
  std::lock_guard<std::mutex> lock(impl_->start_check->mutex);
  impl_->start_check->check = std::move(check);
}

std::shared_ptr<MirrorSenderSession::IController> MirrorSenderService::GetController(
    const std::string& session_id) {
  LOG_INFO("[Video][Sender][GetController]");
  auto session = impl_->sessions.GetSession(session_id);
  if (!session) {
    LOG_ERROR("GetController fail session_id is not exist OAO");
    return nullptr;
  }
  return session->GetController();
}

std::shared_ptr<VideoSourceManager> MirrorSenderService::source_manager() const {
  return impl_->sources;
}

}  // namespace crcp::video
