#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/asio.hpp>

namespace crcp::audio {

// One IPv4 UDP socket of the audio sender. Made open: the constructor opens it and,
// when `bind_address` is not empty, binds it to (bind_address, 0); either failing
// raises boost::system::system_error ("open", "bind"), which the session's set-up
// turns into a failed set-up.
class UdpSocket {
 public:
  UdpSocket(boost::asio::io_context& io, const std::string& bind_address);

  // Sends all bytes as one datagram to (host, port); returns the byte count. An
  // unparsable host or a send error raises boost::system::system_error ("send_to").
  size_t SendTo(const std::vector<uint8_t>& bytes, const std::string& host, uint16_t port);

  bool IsOpen() const;
  // Cancels pending operations; never throws (a closed socket has none).
  void Cancel();
  // Shuts both directions down and closes; errors are ignored.
  void ShutdownAndClose();

 private:
  boost::asio::ip::udp::socket socket_;
};

}  // namespace crcp::audio
