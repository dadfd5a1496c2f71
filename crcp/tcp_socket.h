#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <system_error>
#include <vector>

#include <asio/ip/tcp.hpp>

namespace crcp {

// One TCP socket on the runtime's I/O context. Reads complete on the I/O thread;
// writes are synchronous on the caller's thread and may overlap a pending read.
// Close may come from any thread: it first shuts the connection down, which wakes a
// writer blocked on a full send buffer, then closes; pending handlers complete as
// aborted.
class TcpSocket : public std::enable_shared_from_this<TcpSocket> {
 public:
  static constexpr size_t kMaxChunk = 65536;

  TcpSocket();
  // Adopts an already connected socket, which must live on the runtime's I/O context.
  explicit TcpSocket(asio::ip::tcp::socket socket);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Opens an IPv4 socket; throws std::system_error ("open") on failure.
  void Open();
  // An empty address binds to 0.0.0.0.
  std::error_code Bind(const std::string& address, uint16_t port);
  void AsyncConnect(const std::string& ip, uint16_t port,
                    std::function<void(const std::error_code&)> handler);
  // Reads exactly n bytes into buffer[0..n) (the caller sized it), at most 64 KiB per
  // read; the handler gets the error and the bytes transferred.
  void AsyncRead(std::vector<uint8_t>& buffer, size_t n,
                 std::function<void(const std::error_code&, size_t)> handler);
  std::error_code Write(const std::vector<uint8_t>& data);
  std::string RemoteAddress();
  uint16_t LocalPort();
  bool IsOpen();
  void Close();

 private:
  using ReadHandler = std::function<void(const std::error_code&, size_t)>;
  void ReadSome(std::vector<uint8_t>* buffer, size_t done, size_t n,
                std::shared_ptr<ReadHandler> handler);

  // Shared: every use of the open socket. Exclusive: what changes its state (open,
  // bind, connect, close).
  std::shared_mutex mutex_;
  std::mutex close_mutex_;
  std::atomic<int> fd_{-1};
  std::unique_ptr<asio::ip::tcp::socket> socket_;
};

}  // namespace crcp
