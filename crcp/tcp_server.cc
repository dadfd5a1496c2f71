#include "crcp/tcp_server.h"

namespace crcp {

TcpServer::TcpServer(asio::io_context& context) : acceptor_(context) {}

TcpServer::~TcpServer() {
  std::error_code ignored;
  acceptor_.close(ignored);
}

}  // namespace crcp
