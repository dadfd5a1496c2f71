#pragma once

#include <functional>
#include <memory>

#include "services/media_link/connection.h"
#include "services/video/video_provider.h"

namespace crcp::video {

// Writes one session's packets to the receiver's data connection, one write at a time:
// the next packet is taken from the provider only when the previous write completed,
// so the provider's ring is the whole buffer between the encoder and the socket.
class TCPVideoSender {
 public:
  // A write failed: the sender has stopped itself. Called on the sender's thread.
  using ErrorCallback = std::function<void(int error)>;

  explicit TCPVideoSender(std::shared_ptr<VideoProvider> provider);
  // Stops the sender, then closes the data connection.
  ~TCPVideoSender();

  TCPVideoSender(const TCPVideoSender&) = delete;
  TCPVideoSender& operator=(const TCPVideoSender&) = delete;

  int Connect(const std::string& address, uint16_t port);
  // Starts the provider and the send loop; nothing when running.
  void StartSender();
  // Stops the provider and ends the send loop (joined unless called from it).
  void Stop();
  bool IsRunning() const;
  void SetErrorCallback(ErrorCallback callback);

  class TCPVideoSenderImpl;

 private:
  std::shared_ptr<TCPVideoSenderImpl> impl_;
};

}  // namespace crcp::video
