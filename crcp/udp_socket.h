#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <asio/ip/udp.hpp>

namespace crcp {

// One IPv4 UDP socket on the runtime's I/O context. Not synchronised: its one user,
// the heart beat, serialises every call under its own lock.
class UdpSocket {
 public:
  using Handler = std::function<void(const std::error_code&, size_t)>;

  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Throws std::system_error ("open").
  void Open();
  // An empty address binds to 0.0.0.0.
  std::error_code Bind(const std::string& address, uint16_t port);
  // Tries first, first + 1, ..., last; stops at the first success; returns the last
  // result.
  std::error_code BindInRange(const std::string& address, uint16_t first, uint16_t last);
  // Throws std::system_error ("local_endpoint").
  uint16_t LocalPort();
  // One datagram into buffer (up to its size) from any sender.
  void AsyncReceive(std::vector<uint8_t>& buffer, Handler handler);
  // The same, reporting the sender through the two references before the handler.
  void AsyncReceiveFrom(std::vector<uint8_t>& buffer, std::string& address, uint16_t& port,
                        Handler handler);
  // Throws std::system_error for an address text that does not parse.
  std::error_code SendTo(const std::vector<uint8_t>& data, const std::string& address,
                         uint16_t port);
  // The pending receive completes as aborted.
  void Cancel();
  void Close();
  bool IsOpen() const;

 private:
  std::unique_ptr<asio::ip::udp::socket> socket_;
  asio::ip::udp::endpoint sender_;
};

}  // namespace crcp
