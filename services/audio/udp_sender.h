#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio.hpp>

#include "services/audio/udp_socket.h"

namespace crcp::audio {

// Sends datagrams to one peer over a socket of its own I/O context. "Connecting" only
// stores the peer: nothing is exchanged. Sends happen on the caller's thread (the
// sender's send loop); the runner only keeps the context alive for the socket.
class UdpSender {
 public:
  // Raises boost::system::system_error when the socket cannot be opened or bound to
  // the session protocol's bind address.
  UdpSender();
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  bool Connect(const std::string& host, uint16_t port);
  void Disconnect();
  void Cancel();
  // -1 when not connected; otherwise the bytes sent, 0 after a socket error (logged).
  int Send(std::vector<uint8_t> bytes);

 private:
  std::atomic<bool> connected_{false};
  // Guards the peer and the socket against Disconnect from another thread.
  std::mutex mutex_;
  std::string host_;
  uint16_t port_ = 0;
  boost::asio::io_context io_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  std::shared_ptr<UdpSocket> socket_;
  std::future<void> runner_;
  bool runner_set_ = false;
  std::vector<uint8_t> datagram_;
};

}  // namespace crcp::audio
