#include "services/audio/udp_socket.h"

namespace crcp::audio {

using boost::asio::ip::udp;
using boost::system::error_code;
using boost::system::system_error;

UdpSocket::UdpSocket(boost::asio::io_context& io, const std::string& bind_address)
    : socket_(io) {
  error_code ec;
  socket_.open(udp::v4(), ec);
  if (ec) throw system_error(ec, "open");
  if (bind_address.empty()) return;
  const auto address = boost::asio::ip::make_address(bind_address, ec);
  if (ec) throw system_error(ec, "bind");
  socket_.bind(udp::endpoint(address, 0), ec);
  if (ec) throw system_error(ec, "bind");
}

size_t UdpSocket::SendTo(const std::vector<uint8_t>& bytes, const std::string& host,
                         uint16_t port) {
  error_code ec;
  const auto address = boost::asio::ip::make_address(host, ec);
  if (ec) throw system_error(ec, "send_to");
  const size_t sent = socket_.send_to(boost::asio::buffer(bytes), udp::endpoint(address, port), 0, ec);
  if (ec) throw system_error(ec, "send_to");
  return sent;
}

bool UdpSocket::IsOpen() const { return socket_.is_open(); }

void UdpSocket::Cancel() {
  if (!socket_.is_open()) return;
  error_code ignored;
  socket_.cancel(ignored);
}

void UdpSocket::ShutdownAndClose() {
  if (!socket_.is_open()) return;
  error_code ignored;
  socket_.shutdown(udp::socket::shutdown_both, ignored);
  socket_.close(ignored);
}

}  // namespace crcp::audio
