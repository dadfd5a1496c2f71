#include "crcp/tcp_client.h"

#include <exception>

#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/runtime.h"
#include "crcp/tcp_socket.h"
#include "platform/socket_errors.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::tcp_client";
}

TcpClient::TcpClient() = default;

TcpClient::~TcpClient() {
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer_id_ != 0) Runtime::CancelTimer(timer_id_);
    timer_id_ = 0;
    socket.swap(socket_);
    callback_ = nullptr;
  }
  if (socket) socket->Close();
}

void TcpClient::PostResult(uint64_t attempt, const std::string& ip, uint16_t port,
                           const std::string& task, const std::error_code& error) {
  std::weak_ptr<TcpClient> weak = shared_from_this();
  Runtime::PostTask(task, [weak, attempt, ip, port, error] {
    if (auto self = weak.lock()) self->OnConnected(attempt, ip, port, error);
  });
}

void TcpClient::Connect(const std::string& ip, uint16_t port, Callback callback) {
  std::weak_ptr<TcpClient> weak = shared_from_this();
  std::shared_ptr<TcpSocket> previous;
  std::shared_ptr<TcpSocket> socket;
  uint64_t attempt = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
    attempt = ++attempt_;
    previous.swap(socket_);
    socket = std::make_shared<TcpSocket>();
    socket_ = socket;
    if (timer_id_ != 0) Runtime::CancelTimer(timer_id_);
    timer_id_ = Runtime::AddTimer(kConnectTimeoutMs, "Cancel timeout connect", [weak, attempt, ip, port] {
      auto self = weak.lock();
      if (!self) return;
      std::shared_ptr<TcpSocket> dropped;
      {
        std::lock_guard<std::mutex> guard(self->mutex_);
        if (self->attempt_ == attempt) dropped.swap(self->socket_);
      }
      if (dropped) dropped->Close();  // aborts the pending connect
      self->PostResult(attempt, ip, port, "Handle tcp socket connect timeout",
                       platform::TimedOutError());
    });
  }
  if (previous) previous->Close();

  try {
    socket->Open();
  } catch (const std::system_error& e) {
    LOG_ERROR("Fail to open socket to {}:{}, {}", ip, port, e.what());
    PostResult(attempt, ip, port, "Handle tcp socket connect result", e.code());
    return;
  }
  socket->Bind(Config::Instance().GetBindAddress(), 0);  // a failure is only logged
  socket->AsyncConnect(ip, port, [weak, attempt, ip, port](const std::error_code& ec) {
    if (auto self = weak.lock())
      self->PostResult(attempt, ip, port, "Handle tcp socket connect result", ec);
  });
}

void TcpClient::Cancel() {
  std::shared_ptr<TcpSocket> socket;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++attempt_;
    if (timer_id_ != 0) Runtime::CancelTimer(timer_id_);
    timer_id_ = 0;
    socket.swap(socket_);
    callback_ = nullptr;
  }
  if (socket) socket->Close();
}

void TcpClient::OnConnected(uint64_t attempt, const std::string& ip, uint16_t port,
                            const std::error_code& error) {
  if (platform::IsOperationAborted(error)) {
    LOG_INFO("Connect to {}:{} is canceled", ip, port);
    return;
  }
  Callback callback;
  std::shared_ptr<Connection> result;
  std::shared_ptr<TcpSocket> failed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (attempt != attempt_ || !callback_) {
      // Cancelled, overtaken by a newer attempt, or already reported.
      LOG_INFO("Connect to {}:{} is canceled", ip, port);
      return;
    }
    if (timer_id_ != 0) Runtime::CancelTimer(timer_id_);
    timer_id_ = 0;
    std::error_code ec = error;
    if (!ec && !socket_) ec = platform::TimedOutError();  // the time-out took the socket
    if (ec) {
      LOG_ERROR("Fail to connect to {}:{}, {}", ip, port, ec.message());
      failed.swap(socket_);
    } else {
      LOG_INFO("Connected to {}:{}", ip, port);
      result = std::make_shared<Connection>(std::move(socket_));
      socket_ = nullptr;
    }
    callback = std::move(callback_);
    callback_ = nullptr;
  }
  if (failed) failed->Close();
  if (callback) callback(result);
}

}  // namespace crcp
