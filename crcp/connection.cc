#include "crcp/connection.h"

#include <cmath>
#include <stdexcept>

#include "crcp/hex_dump.h"
#include "crcp/tcp_socket.h"
#include "platform/socket_errors.h"
#include "utils/bounded_json.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::Connection";

using json = nlohmann::json;

// The message id of a parsed body; throws for anything that is not an integral
// number in 0..65535.
uint16_t ReadId(const json& body) {
  const json& id = body.at("id");
  if (id.is_number_unsigned()) {
    if (id.get<uint64_t>() <= 0xFFFF) return static_cast<uint16_t>(id.get<uint64_t>());
  } else if (id.is_number_integer()) {
    int64_t v = id.get<int64_t>();
    if (v >= 0 && v <= 0xFFFF) return static_cast<uint16_t>(v);
  } else if (id.is_number_float()) {
    double v = id.get<double>();
    if (std::isfinite(v) && v >= 0 && v <= 0xFFFF && std::floor(v) == v)
      return static_cast<uint16_t>(v);
  }
  throw std::invalid_argument("message id is not an integer in 0..65535: " + id.dump());
}
}  // namespace

Connection::Connection(std::shared_ptr<TcpSocket> socket)
    : header_buffer_(MessagePacket::kHeaderSize, 0), socket_(std::move(socket)) {
  if (socket_) remote_address_ = socket_->RemoteAddress();
}

Connection::~Connection() { Close(); }

std::shared_ptr<TcpSocket> Connection::Socket() const {
  std::lock_guard<std::mutex> lock(socket_mutex_);
  return socket_;
}

void Connection::CloseSocket() {
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> lock(socket_mutex_);
    socket.swap(socket_);
  }
  // Closed explicitly: a pending read holds the socket, and the buffers it reads into
  // belong to this connection.
  if (socket) socket->Close();
}

void Connection::Close() {
  CloseSocket();
  std::lock_guard<std::mutex> lock(handler_mutex_);
  on_message_ = nullptr;
  on_error_ = nullptr;
}

std::string Connection::GetRemoteAddress() const { return remote_address_; }

void Connection::ReadMessage(MessageHandler on_message, ErrorHandler on_error) {
  auto socket = Socket();
  if (!socket) return;
  {
    std::lock_guard<std::mutex> lock(handler_mutex_);
    on_message_ = std::move(on_message);
    on_error_ = std::move(on_error);
  }
  std::weak_ptr<Connection> weak = shared_from_this();
  socket->AsyncRead(header_buffer_, MessagePacket::kHeaderSize,
                    [weak](const std::error_code& ec, size_t) {
                      if (auto self = weak.lock()) self->OnReadPacketHeaderDone(ec);
                    });
}

std::vector<uint8_t> Connection::SerializeMessage(uint32_t seq, const json& message) {
  std::string text = message.dump(-1, ' ', false, json::error_handler_t::replace);
  LOG_INFO_LIMITED("Make a message {}", ::zorvax::utils::logger::Excerpt(text));
  return MessagePacket::Serialize(MessagePacket(seq, std::vector<uint8_t>(text.begin(), text.end())));
}

std::error_code Connection::SendMessage(uint16_t id, const json& content) {
  std::lock_guard<std::mutex> lock(send_mutex_);
  auto socket = Socket();
  if (!socket) return platform::ConnectionResetError();
  const uint64_t seq = send_counter_ + 1;
  json message = json::object();
  message["id"] = id;
  message["content"] = content;
  std::vector<uint8_t> bytes = SerializeMessage(static_cast<uint32_t>(seq), message);
  if (bytes.empty()) return std::make_error_code(std::errc::invalid_argument);
  send_counter_ = seq;
  return socket->Write(bytes);
}

void Connection::OnReadPacketHeaderDone(const std::error_code& error) {
  if (platform::IsOperationAborted(error)) return;
  auto socket = Socket();
  if (!socket || !socket->IsOpen()) return;
  if (error) {
    LOG_ERROR("Fail to recv header, message: [{}]", error.message());
    CloseSocket();
    DeliverError(kReadFailed);
    return;
  }
  if (!MessagePacket::Deserialize(header_buffer_.data(), header_buffer_.size(), current_)) {
    LOG_ERROR("the header received is not legal");
    DeliverError(kIllegalPacket);
    return;
  }
  const uint64_t expected = expected_sequence_++;
  if (current_.sequence_num != static_cast<uint32_t>(expected)) {
    LOG_ERROR("Receive a wrong packet, header: {}",
              HexDump(header_buffer_.data(), header_buffer_.size()));
    CloseSocket();
    DeliverError(kIllegalPacket);
    return;
  }
  // The body is read whole into memory; a length beyond the bound would let the peer
  // exhaust it.
  if (current_.len > kMaxBodySize) {
    LOG_ERROR("Receive a too large packet, header: {}",
              HexDump(header_buffer_.data(), header_buffer_.size()));
    CloseSocket();
    DeliverError(kIllegalPacket);
    return;
  }
  current_.body.assign(current_.len, 0);
  std::weak_ptr<Connection> weak = shared_from_this();
  socket->AsyncRead(current_.body, current_.len, [weak](const std::error_code& ec, size_t) {
    if (auto self = weak.lock()) self->OnReadPacketDataDone(ec);
  });
}

void Connection::OnReadPacketDataDone(const std::error_code& error) {
  auto socket = Socket();
  if (!socket || !socket->IsOpen()) return;
  if (platform::IsOperationAborted(error)) return;
  if (error) {
    LOG_ERROR("Fail to recv body, message: {}", error.message());
    CloseSocket();
    DeliverError(kReadFailed);
    return;
  }
  std::string body(current_.body.begin(), current_.body.end());
  std::vector<uint8_t>().swap(current_.body);
  if (body.size() != current_.len || !MessagePacket::IsLegalHeader(current_)) {
    LOG_ERROR("receive illegal packet {}", ::zorvax::utils::logger::Excerpt(body));
    CloseSocket();
    DeliverError(kIllegalPacket);
    return;
  }
  ParseMessage(body);
}

void Connection::ParseMessage(const std::string& body) {
  LOG_INFO_LIMITED("Recv message {} ", ::zorvax::utils::logger::Excerpt(body));
  uint16_t id = 0;
  json content;
  try {
    json message = zorvax::utils::ParseBoundedJson(body);
    id = ReadId(message);
    auto it = message.find("content");
    if (it != message.end()) content = *it;
  } catch (const std::exception& e) {
    // A parse error quotes the token it stopped at, which may be most of the body.
    LOG_ERROR("Fail to parse message, {}", ::zorvax::utils::logger::Excerpt(e.what()));
    DeliverError(kBadBody);
    return;
  }
  DeliverMessage(id, content);
}

void Connection::DeliverMessage(uint16_t id, const json& content) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(handler_mutex_);
    handler = std::move(on_message_);
    on_message_ = nullptr;
    on_error_ = nullptr;
  }
  if (handler) handler(id, content);
}

void Connection::DeliverError(int code) {
  ErrorHandler handler;
  {
    std::lock_guard<std::mutex> lock(handler_mutex_);
    handler = std::move(on_error_);
    on_message_ = nullptr;
    on_error_ = nullptr;
  }
  if (handler) handler(code);
}

}  // namespace crcp
