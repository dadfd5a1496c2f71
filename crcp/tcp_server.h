#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

namespace crcp {

// The accepting side's listening socket, on the accept worker's context. The client
// never opens it: no receiver connects to the computer.
class TcpServer {
 public:
  explicit TcpServer(asio::io_context& context);
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

 private:
  asio::ip::tcp::acceptor acceptor_;
};

}  // namespace crcp
