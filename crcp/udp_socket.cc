#include "crcp/udp_socket.h"

#include "crcp/runtime.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::udp_socket";
}

UdpSocket::UdpSocket()
    : socket_(std::make_unique<asio::ip::udp::socket>(Runtime::GetIoContext())) {}

UdpSocket::~UdpSocket() { Close(); }

void UdpSocket::Open() {
  if (socket_->is_open()) return;
  socket_->open(asio::ip::udp::v4());
}

std::error_code UdpSocket::Bind(const std::string& address, uint16_t port) {
  LOG_INFO("Try bind {}:{}", address, port);
  std::error_code ec;
  asio::ip::udp::endpoint endpoint(asio::ip::address_v4::any(), port);
  if (!address.empty()) {
    auto parsed = asio::ip::make_address(address, ec);
    if (!ec) endpoint = asio::ip::udp::endpoint(parsed, port);
  }
  if (!ec) socket_->bind(endpoint, ec);
  if (ec) LOG_ERROR("Fail to bind {}:{}, ec[{}]: {}", address, port, ec.value(), ec.message());
  return ec;
}

std::error_code UdpSocket::BindInRange(const std::string& address, uint16_t first,
                                       uint16_t last) {
  std::error_code ec = std::make_error_code(std::errc::address_not_available);
  for (uint32_t port = first; port <= last; ++port) {
    ec = Bind(address, static_cast<uint16_t>(port));
    if (!ec) break;
  }
  return ec;
}

uint16_t UdpSocket::LocalPort() { return socket_->local_endpoint().port(); }

void UdpSocket::AsyncReceive(std::vector<uint8_t>& buffer, Handler handler) {
  socket_->async_receive(asio::buffer(buffer), std::move(handler));
}

void UdpSocket::AsyncReceiveFrom(std::vector<uint8_t>& buffer, std::string& address,
                                 uint16_t& port, Handler handler) {
  socket_->async_receive_from(
      asio::buffer(buffer), sender_,
      [this, &address, &port, handler = std::move(handler)](const std::error_code& ec,
                                                            size_t size) {
        if (!ec) {
          address = sender_.address().to_string();
          port = sender_.port();
        }
        handler(ec, size);
      });
}

std::error_code UdpSocket::SendTo(const std::vector<uint8_t>& data, const std::string& address,
                                  uint16_t port) {
  asio::ip::udp::endpoint endpoint;
  try {
    endpoint = asio::ip::udp::endpoint(asio::ip::make_address(address), port);
  } catch (const std::system_error& e) {
    LOG_ERROR("Catch a exception when send udp data to {}:{}, {}", address, port, e.what());
    throw;
  }
  std::error_code ec;
  socket_->send_to(asio::buffer(data), endpoint, 0, ec);
  return ec;
}

void UdpSocket::Cancel() {
  std::error_code ignored;
  socket_->cancel(ignored);
}

void UdpSocket::Close() {
  if (!socket_->is_open()) return;
  std::error_code ignored;
  socket_->shutdown(asio::ip::udp::socket::shutdown_both, ignored);
  socket_->close(ignored);
}

bool UdpSocket::IsOpen() const { return socket_->is_open(); }

}  // namespace crcp
