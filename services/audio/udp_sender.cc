#include "services/audio/udp_sender.h"

#include <exception>
#include <utility>

#include "crcp/config.h"
#include "utils/logger.h"

namespace crcp::audio {
namespace {
const char* const kLogTag = "MirrorAudio::UDPSender";
}  // namespace

UdpSender::UdpSender()
    : work_(boost::asio::make_work_guard(io_)),
      socket_(std::make_shared<UdpSocket>(io_, crcp::Config::Instance().GetBindAddress())) {
  // The socket is made first: should it throw, no thread has been started yet.
  runner_ = std::async(std::launch::async, [this] {
    try {
      io_.run();
    } catch (const std::exception& e) {
      LOG_ERROR("udp runner caught: {}", e.what());
    }
  });
  runner_set_ = true;
}

UdpSender::~UdpSender() {
  connected_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    socket_->ShutdownAndClose();
  }
  work_.reset();
  io_.stop();
  if (runner_set_ && runner_.valid()) runner_.wait();
}

bool UdpSender::Connect(const std::string& host, uint16_t port) {
  std::lock_guard<std::mutex> lock(mutex_);
  host_ = host;
  port_ = port;
  connected_ = true;
  return true;
}

void UdpSender::Disconnect() {
  connected_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  socket_->ShutdownAndClose();
}

void UdpSender::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  socket_->Cancel();
}

int UdpSender::Send(std::vector<uint8_t> bytes) {
  if (!connected_) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) return -1;
  datagram_ = std::move(bytes);
  try {
    return static_cast<int>(socket_->SendTo(datagram_, host_, port_));
  } catch (const std::exception& e) {
    // Counted as sent: a lost datagram is no reason to stall the stream.
    LOG_ERROR("udp fail send data");
    LOG_DEBUG("udp send error: {}", e.what());
    return 0;
  }
}

}  // namespace crcp::audio
