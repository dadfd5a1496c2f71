#include "services/video/video_sender.h"

#include <utility>

#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::Sender";
}  // namespace

VideoSender::VideoSender(std::shared_ptr<GlobalSourceController> controller)
    : provider_(std::make_shared<VideoProvider>(std::move(controller))),
      sender_(std::make_unique<TCPVideoSender>(provider_)) {}

VideoSender::~VideoSender() {
  LOG_INFO("VideoSender Destory");
  sender_->Stop();
  sender_.reset();
}

int VideoSender::Connect(const SenderSettingInfo& setting) {
  return sender_->Connect(setting.address, setting.dataPort);
}

void VideoSender::ChangeResolution(uint16_t width, uint16_t height) {
  LOG_INFO("ChangeResolution width:{}, height:{}", width, height);
  provider_->ChangeResolution(width, height);
}

void VideoSender::StartSender() { sender_->StartSender(); }
void VideoSender::StopSender() { sender_->Stop(); }
void VideoSender::Pause() { sender_->Stop(); }
void VideoSender::RequestKeyFrame() { provider_->RequestKeyFrame(); }
void VideoSender::SetTcpInfoCallback(TcpInfoCallback callback) {
  provider_->SetTcpInfoCallback(std::move(callback));
}
void VideoSender::SetErrorCallback(TCPVideoSender::ErrorCallback callback) {
  sender_->SetErrorCallback(std::move(callback));
}
bool VideoSender::IsSending() const { return sender_->IsRunning(); }

}  // namespace crcp::video
