#include "services/media_link/tcp_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <utility>

#include "utils/logger.h"

namespace crcp::video {

using boost::asio::ip::tcp;
using boost::system::error_code;

TcpSocket::TcpSocket(boost::asio::io_context& io, std::string log_tag)
    : log_tag_(std::move(log_tag)), socket_(io) {}

error_code TcpSocket::Bind(const std::string& local_address) {
  error_code ec;
  const auto address = boost::asio::ip::make_address_v4(local_address, ec);
  if (ec) return ec;
  if (!socket_.is_open()) {
    socket_.open(tcp::v4(), ec);
    if (ec) return ec;
  }
  socket_.bind(tcp::endpoint(address, 0), ec);
  return ec;
}

void TcpSocket::AsyncConnect(const tcp::endpoint& peer, ConnectHandler handler) {
  socket_.async_connect(peer, std::move(handler));
}

error_code TcpSocket::SetSendBufferSize(int bytes) {
  error_code ec;
  socket_.set_option(boost::asio::socket_base::send_buffer_size(bytes), ec);
  return ec;
}

error_code TcpSocket::SetUnsentLimit(int bytes) {
  if (!socket_.is_open()) return boost::asio::error::bad_descriptor;
  if (::setsockopt(socket_.native_handle(), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &bytes, sizeof bytes) != 0)
    return error_code(errno, boost::system::system_category());
  return error_code();
}

error_code TcpSocket::Write(const std::vector<uint8_t>& bytes) {
  const std::string& kLogTag = log_tag_;
  error_code ec;
  boost::asio::write(socket_, boost::asio::buffer(bytes), ec);
  if (ec) LOG_ERROR("socket write fail , {}", ec.message());
  return ec;
}

void TcpSocket::AsyncRead(uint8_t* data, size_t size, TransferHandler handler) {
  boost::asio::async_read(socket_, boost::asio::buffer(data, size), std::move(handler));
}

void TcpSocket::AsyncWrite(const std::vector<uint8_t>& bytes, TransferHandler handler) {
  boost::asio::async_write(socket_, boost::asio::buffer(bytes), std::move(handler));
}

error_code TcpSocket::Cancel() {
  if (!socket_.is_open()) return boost::asio::error::bad_descriptor;
  error_code ec;
  socket_.cancel(ec);
  return ec;
}

void TcpSocket::Shutdown() {
  error_code ignored;
  if (socket_.is_open()) socket_.shutdown(tcp::socket::shutdown_both, ignored);
}

void TcpSocket::Close() {
  error_code ignored;
  if (socket_.is_open()) socket_.close(ignored);
}

std::string TcpSocket::RemoteAddress() const {
  error_code ec;
  const auto peer = socket_.remote_endpoint(ec);
  return ec ? std::string() : peer.address().to_string();
}

bool TcpSocket::IsOpen() const { return socket_.is_open(); }

}  // namespace crcp::video
