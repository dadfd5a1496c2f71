#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

namespace crcp {

class Connection;
class TcpSocket;

// Makes the control connection to a receiver: binds to the configured local address,
// connects under a 5000 ms time-out and reports the outcome once, as a task: a new
// Connection, or an empty pointer on refusal, error or time-out.
//
// Every attempt carries a number; results of an attempt that was cancelled or
// overtaken by a newer Connect are dropped, so exactly one result reaches the
// callback per attempt that is neither.
class TcpClient : public std::enable_shared_from_this<TcpClient> {
 public:
  using Callback = std::function<void(std::shared_ptr<Connection>)>;
  static constexpr unsigned kConnectTimeoutMs = 5000;

  TcpClient();
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  void Connect(const std::string& ip, uint16_t port, Callback callback);
  // No result is delivered for the cancelled attempt.
  void Cancel();

 private:
  void OnConnected(uint64_t attempt, const std::string& ip, uint16_t port,
                   const std::error_code& error);
  void PostResult(uint64_t attempt, const std::string& ip, uint16_t port,
                  const std::string& task, const std::error_code& error);

  std::mutex mutex_;
  Callback callback_;
  std::shared_ptr<TcpSocket> socket_;
  uint64_t timer_id_ = 0;
  uint64_t attempt_ = 0;
};

}  // namespace crcp
