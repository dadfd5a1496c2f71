#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "services/video/global_source_controller.h"
#include "services/video/i_video_sender.h"
#include "services/media_link/sender_setting_info.h"
#include "services/video/tcp_video_sender.h"
#include "services/video/video_provider.h"

namespace crcp::video {

// A session's handle on its provider and TCP sender, as the command session drives it.
class VideoSender : public IVideoSender {
 public:
  explicit VideoSender(std::shared_ptr<GlobalSourceController> controller);
  // Stops the sender and closes the data connection.
  ~VideoSender() override;

  // The data connection to (address, dataPort): 0 or the socket error's value.
  int Connect(const SenderSettingInfo& setting);

  void ChangeResolution(uint16_t width, uint16_t height) override;
  void StartSender() override;
  void StopSender() override;
  // Stops the provider and ends the send loop before returning, so a start that
  // follows at once starts a fresh loop instead of meeting one that is running dry.
  void Pause() override;
  void RequestKeyFrame() override;
  void SetTcpInfoCallback(TcpInfoCallback callback) override;

  // A data write failed and the sender stopped (called on the sender's thread).
  void SetErrorCallback(TCPVideoSender::ErrorCallback callback);

  bool IsSending() const;
  const std::shared_ptr<VideoProvider>& provider() const { return provider_; }

 private:
  std::shared_ptr<VideoProvider> provider_;
  std::unique_ptr<TCPVideoSender> sender_;
};

}  // namespace crcp::video
