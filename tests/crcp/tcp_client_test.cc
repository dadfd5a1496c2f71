#include "crcp/tcp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/ip/tcp.hpp>
#include <gtest/gtest.h>

#include "crcp/connection.h"
#include "crcp/runtime.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using namespace std::chrono_literals;
using test::Inbox;
using testing_support::LogCapture;

struct Result {
  std::shared_ptr<Connection> connection;
};

class TcpClientTest : public ::testing::Test {
 protected:
  TcpClient::Callback Collect() {
    auto inbox = inbox_;
    return [inbox](std::shared_ptr<Connection> c) { inbox->Push({std::move(c)}); };
  }
  uint16_t ListeningPort() {
    acceptor_.open(asio::ip::tcp::v4());
    acceptor_.bind({asio::ip::make_address("127.0.0.1"), 0});
    acceptor_.listen();
    return acceptor_.local_endpoint().port();
  }
  // A listener whose accept queue is full: further connects get no answer.
  uint16_t SilentPort() {
    silent_.open(asio::ip::tcp::v4());
    silent_.bind({asio::ip::make_address("127.0.0.1"), 0});
    silent_.listen(0);
    auto endpoint = silent_.local_endpoint();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(endpoint.port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 3; ++i) {
      int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
      fillers_.push_back(fd);
    }
    return endpoint.port();
  }

  asio::io_context context_;
  asio::ip::tcp::acceptor acceptor_{context_};
  asio::ip::tcp::acceptor silent_{context_};
  std::vector<int> fillers_;
  void TearDown() override {
    for (int fd : fillers_) ::close(fd);
  }
  std::shared_ptr<Inbox<Result>> inbox_ = std::make_shared<Inbox<Result>>();
  std::shared_ptr<TcpClient> client_ = std::make_shared<TcpClient>();
};

TEST_F(TcpClientTest, ConnectsOnceAndHandsOverAConnection) {
  LogCapture::Get().Clear();
  uint16_t port = ListeningPort();
  client_->Connect("127.0.0.1", port, Collect());
  auto result = inbox_->Pop();
  ASSERT_TRUE(result);
  ASSERT_TRUE(result->connection);
  EXPECT_EQ(result->connection->GetRemoteAddress(), "127.0.0.1");
  EXPECT_EQ(LogCapture::Get().Count("Connected to 127.0.0.1:" + std::to_string(port)), 1u);
  EXPECT_TRUE(LogCapture::Get().WaitFor("Timer [Cancel timeout connect] is canceled"));
  EXPECT_FALSE(inbox_->Pop(200ms));
  result->connection->Close();
}

TEST_F(TcpClientTest, RefusedConnectIsOneEmptyResult) {
  uint16_t port = ListeningPort();
  acceptor_.close();  // nothing listens there any more
  client_->Connect("127.0.0.1", port, Collect());
  auto result = inbox_->Pop();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->connection);
  EXPECT_FALSE(inbox_->Pop(200ms));
}

TEST_F(TcpClientTest, UnparsableAddressIsOneEmptyResult) {
  LogCapture::Get().Clear();
  client_->Connect("not an address", 7, Collect());
  auto result = inbox_->Pop();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->connection);
  EXPECT_EQ(LogCapture::Get().Count("Exception when AsyncConnect to not an address:7"), 1u);
}

TEST_F(TcpClientTest, CancelWhileConnectingDeliversNothing) {
  LogCapture::Get().Clear();
  uint16_t port = SilentPort();
  client_->Connect("127.0.0.1", port, Collect());
  client_->Cancel();
  EXPECT_TRUE(LogCapture::Get().WaitFor("is canceled"));
  EXPECT_FALSE(inbox_->Pop(300ms));
}

TEST_F(TcpClientTest, NewerConnectOvertakesTheOlderOne) {
  uint16_t silent = SilentPort();
  uint16_t good = ListeningPort();
  client_->Connect("127.0.0.1", silent, Collect());
  client_->Connect("127.0.0.1", good, Collect());
  auto result = inbox_->Pop();
  ASSERT_TRUE(result);
  ASSERT_TRUE(result->connection);
  EXPECT_FALSE(inbox_->Pop(300ms));
  result->connection->Close();
}

TEST_F(TcpClientTest, SilentPeerTimesOutWithOneEmptyResult) {
  LogCapture::Get().Clear();
  uint16_t port = SilentPort();
  client_->Connect("127.0.0.1", port, Collect());
  auto result = inbox_->Pop(8000ms);
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->connection);
  EXPECT_EQ(LogCapture::Get().Count({"Fail to connect to 127.0.0.1:" + std::to_string(port)}), 1u);
  EXPECT_FALSE(inbox_->Pop(300ms));
}

}  // namespace
}  // namespace crcp
