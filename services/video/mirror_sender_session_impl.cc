#include "services/video/mirror_sender_session_impl.h"

#include <algorithm>
#include <utility>

#include "services/video/client_session_controller.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::SenderSession";
}  // namespace

MirrorSenderSessionImpl::MirrorSenderSessionImpl(std::string session_id, std::string address,
                                                 StartCheck start_check)
    : start_check_(std::move(start_check)),
      session_id_(std::move(session_id)),
      address_(std::move(address)) {}

MirrorSenderSessionImpl::~MirrorSenderSessionImpl() {
  LOG_INFO("MirrorSenderSessionImpl destroy");
  // Taken out under the lock, released outside it: the command session's destruction
  // joins its worker, whose listener calls may reach back into this session.
  std::shared_ptr<MirrorSenderSession::IController> controller;
  std::shared_ptr<GlobalSourceController> source_controller;
  std::shared_ptr<ClientCommandSession> command_session;
  std::shared_ptr<VideoSender> video_sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controller = std::move(controller_);
    source_controller = std::move(source_controller_);
    command_session = std::move(command_session_);
    video_sender = std::move(video_sender_);
  }
  controller.reset();
  source_controller.reset();
  command_session.reset();
  video_sender.reset();
}

std::shared_ptr<MirrorSenderSession::IController> MirrorSenderSessionImpl::Init(
    const SenderSettingInfo& setting, const VideoSourceManager& sources) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto offered = sources.Codecs();
  std::string codec;
  for (const auto& candidate : setting.codec) {
    LOG_INFO("codec :{}", candidate);
    if (codec.empty() &&
        std::find(offered.begin(), offered.end(), candidate) != offered.end()) {
      codec = candidate;
    }
  }
  if (codec.empty()) {
    LOG_ERROR("no matching codec !!");
    return nullptr;
  }
  LOG_INFO("Create Video Source Controller");
  auto source_controller = sources.GetSourceController(codec);
  if (!source_controller) {
    LOG_ERROR("source controller create fail");
    return nullptr;
  }

  auto video_sender = std::make_shared<VideoSender>(source_controller);
  int result = video_sender->Connect(setting);
  if (result != 0) {
    LOG_ERROR("video data session fail to connect to ip:{} port:{}, error_code:{}", setting.address,
              setting.dataPort, result);
    return nullptr;
  }
  video_sender->SetErrorCallback([slot = listener_slot_](int) {
    std::shared_ptr<MirrorSenderSession::Listener> listener;
    {
      std::lock_guard<std::mutex> l(slot->mutex);
      listener = slot->listener;
    }
    if (listener) listener->OnError(kResultDataWriteFailed);
  });

  const std::string session_id = session_id_;
  auto command_session = std::make_shared<ClientCommandSession>(start_check_);
  command_session->SetSessionId(session_id);
  command_session->SetVideoSender(video_sender);
  command_session->SetCodecName(codec);
  result = command_session->Connect(setting.address, setting.cmdPort);
  if (result != 0) {
    LOG_ERROR("video session fail to connect to ip:{} port:{}, error_code:{}", setting.address,
              setting.cmdPort, result);
    // The data connection is already up: close it now rather than keep a sender
    // that nothing can ever start.
    command_session.reset();
    video_sender.reset();
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> l(listener_slot_->mutex);
    if (listener_slot_->listener) command_session->SetListener(listener_slot_->listener);
  }

  codec_ = codec;
  video_sender_ = std::move(video_sender);
  command_session_ = std::move(command_session);
  source_controller_ = std::move(source_controller);
  controller_ = std::make_shared<ClientSessionController>(command_session_, source_controller_);
  return controller_;
}

void MirrorSenderSessionImpl::SetListener(std::shared_ptr<MirrorSenderSession::Listener> listener) {
  {
    std::lock_guard<std::mutex> l(listener_slot_->mutex);
    listener_slot_->listener = listener;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (command_session_) command_session_->SetListener(std::move(listener));
}

std::shared_ptr<MirrorSenderSession::IController> MirrorSenderSessionImpl::GetController() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_;
}

std::string MirrorSenderSessionImpl::codec() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return codec_;
}

}  // namespace crcp::video
