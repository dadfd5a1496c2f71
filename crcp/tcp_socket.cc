#include "crcp/tcp_socket.h"

#include <sys/socket.h>

#include <algorithm>

#include <asio/connect.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "crcp/runtime.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::tcp_socket";
}

TcpSocket::TcpSocket()
    : socket_(std::make_unique<asio::ip::tcp::socket>(Runtime::GetIoContext())) {}

TcpSocket::TcpSocket(asio::ip::tcp::socket socket)
    : socket_(std::make_unique<asio::ip::tcp::socket>(std::move(socket))) {
  if (socket_->is_open()) {
    // Put the descriptor in non-blocking mode now, while no other thread uses the
    // socket: the first asynchronous operation would otherwise change that state
    // under a concurrent Write. Synchronous writes still wait for the peer.
    std::error_code ignored;
    socket_->native_non_blocking(true, ignored);
    fd_ = socket_->native_handle();
  }
}

TcpSocket::~TcpSocket() { Close(); }

void TcpSocket::Open() {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  if (socket_->is_open()) return;
  socket_->open(asio::ip::tcp::v4());  // throws system_error "open"
  std::error_code ignored;
  socket_->native_non_blocking(true, ignored);
  fd_ = socket_->native_handle();
}

std::error_code TcpSocket::Bind(const std::string& address, uint16_t port) {
  LOG_INFO("Try bind {}:{}", address, port);
  std::error_code ec;
  asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::any(), port);
  if (!address.empty()) {
    auto parsed = asio::ip::make_address(address, ec);
    if (!ec) endpoint = asio::ip::tcp::endpoint(parsed, port);
  }
  if (!ec) {
    std::unique_lock<std::shared_mutex> lock(mutex_);
    socket_->bind(endpoint, ec);
  }
  if (ec) LOG_ERROR("Fail to bind {}:{}, ec[{}]: {}", address, port, ec.value(), ec.message());
  return ec;
}

void TcpSocket::AsyncConnect(const std::string& ip, uint16_t port,
                             std::function<void(const std::error_code&)> handler) {
  try {
    asio::ip::tcp::endpoint endpoint(asio::ip::make_address(ip), port);
    std::unique_lock<std::shared_mutex> lock(mutex_);
    socket_->async_connect(endpoint, std::move(handler));
  } catch (const std::system_error& e) {
    LOG_ERROR("Exception when AsyncConnect to {}:{}, {}", ip, port, e.what());
    handler(e.code());
  }
}

void TcpSocket::AsyncRead(std::vector<uint8_t>& buffer, size_t n, ReadHandler handler) {
  ReadSome(&buffer, 0, std::min(n, buffer.size()), std::make_shared<ReadHandler>(std::move(handler)));
}

// The pending read holds the socket, so the socket is alive for every continuation;
// buffer owners close the socket before they release the buffer.
void TcpSocket::ReadSome(std::vector<uint8_t>* buffer, size_t done, size_t n,
                         std::shared_ptr<ReadHandler> handler) {
  auto self = shared_from_this();
  std::shared_lock<std::shared_mutex> lock(mutex_);
  if (done == n) {
    asio::post(socket_->get_executor(), [handler, n] { (*handler)(std::error_code(), n); });
    return;
  }
  size_t chunk = std::min(kMaxChunk, n - done);
  socket_->async_read_some(
      asio::buffer(buffer->data() + done, chunk),
      [self, buffer, done, n, handler](const std::error_code& ec, size_t got) {
        if (ec) {
          (*handler)(ec, done + got);
          return;
        }
        self->ReadSome(buffer, done + got, n, handler);
      });
}

std::error_code TcpSocket::Write(const std::vector<uint8_t>& data) {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::error_code ec;
  size_t done = 0;
  while (done < data.size() && !ec) {
    size_t chunk = std::min(kMaxChunk, data.size() - done);
    done += asio::write(*socket_, asio::buffer(data.data() + done, chunk), ec);
  }
  return ec;
}

std::string TcpSocket::RemoteAddress() {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::error_code ec;
  auto endpoint = socket_->remote_endpoint(ec);
  return ec ? std::string() : endpoint.address().to_string();
}

uint16_t TcpSocket::LocalPort() {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  std::error_code ec;
  auto endpoint = socket_->local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

bool TcpSocket::IsOpen() {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  return socket_->is_open();
}

void TcpSocket::Close() {
  std::lock_guard<std::mutex> closing(close_mutex_);
  int fd = fd_.exchange(-1);
  if (fd < 0) return;
  // Wakes a writer blocked in Write (it holds the shared lock) before taking the
  // exclusive one.
  ::shutdown(fd, SHUT_RDWR);
  std::unique_lock<std::shared_mutex> lock(mutex_);
  std::error_code ignored;
  socket_->cancel(ignored);
  socket_->shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_->close(ignored);
}

}  // namespace crcp
