#include "crcp/crcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/ip/tcp.hpp>
#include <gtest/gtest.h>

#include "crcp/config.h"
#include "crcp/service_manager.h"
#include "tests/crcp/fakes.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using namespace std::chrono_literals;
using test::Inbox;
using testing_support::LogCapture;

struct Result {
  std::string id;
  int code;
};

// The facade against peers that need no protocol: nothing listening, a listener that
// never answers the handshake, a listener that never accepts.
class CrcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(27450, 27459);
    Config::Instance().SetBindAddress("127.0.0.1");
    registry_->AddService(video_);
    crcp_ = std::make_unique<Crcp>("client-uuid", registry_);
  }
  void TearDown() override {
    crcp_.reset();
    for (int fd : fillers_) ::close(fd);
  }

  Crcp::ConnectCallback Collect() {
    auto inbox = results_;
    return [inbox](const std::string& id, int code) { inbox->Push({id, code}); };
  }
  uint16_t Listening() {
    acceptor_.open(asio::ip::tcp::v4());
    acceptor_.bind({asio::ip::make_address("127.0.0.1"), 0});
    acceptor_.listen();
    return acceptor_.local_endpoint().port();
  }
  uint16_t Refusing() {
    uint16_t port = Listening();
    acceptor_.close();
    return port;
  }
  uint16_t NeverAccepting() {
    silent_.open(asio::ip::tcp::v4());
    silent_.bind({asio::ip::make_address("127.0.0.1"), 0});
    silent_.listen(0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(silent_.local_endpoint().port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 3; ++i) {
      int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
      fillers_.push_back(fd);
    }
    return silent_.local_endpoint().port();
  }

  asio::io_context context_;
  asio::ip::tcp::acceptor acceptor_{context_};
  asio::ip::tcp::acceptor silent_{context_};
  std::vector<int> fillers_;
  std::shared_ptr<ServiceManager> registry_ = std::make_shared<ServiceManager>();
  std::shared_ptr<test::FakeService> video_ =
      std::make_shared<test::FakeService>("video_mirror.c", "video_mirror.s");
  std::shared_ptr<Inbox<Result>> results_ = std::make_shared<Inbox<Result>>();
  std::unique_ptr<Crcp> crcp_;
};

TEST_F(CrcpTest, RefusedConnectionIsMinusSeven) {
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", Refusing(), Collect()));
  auto r = results_->Pop();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, -7);
  EXPECT_EQ(r->id, "");
  // The slot is free again.
  EXPECT_TRUE(crcp_->Connect("127.0.0.1", Refusing(), Collect()));
  EXPECT_TRUE(results_->Pop());
}

TEST_F(CrcpTest, SecondConnectWhilePendingIsRefusedAndTheFirstStillReports) {
  LogCapture::Get().Clear();
  uint16_t port = NeverAccepting();
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", port, Collect()));
  EXPECT_FALSE(crcp_->Connect("127.0.0.1", port, Collect()));
  EXPECT_EQ(LogCapture::Get().Count("Last connect request is not finished, abort"), 1u);
  auto r = results_->Pop(8000ms);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, -7);  // the TCP time-out
  EXPECT_FALSE(results_->Pop(300ms));
}

TEST_F(CrcpTest, CancelDropsTheCallbackAndAdmitsTheNextConnectAtOnce) {
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", NeverAccepting(), Collect()));
  crcp_->Cancel();
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", Refusing(), Collect()));
  auto r = results_->Pop();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, -7);
  EXPECT_FALSE(results_->Pop(300ms));
}

TEST_F(CrcpTest, PeerThatNeverAnswersTheHandshakeIsMinusThirteen) {
  uint16_t port = Listening();
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", port, Collect()));
  asio::ip::tcp::socket peer(context_);
  acceptor_.accept(peer);
  auto request = test::ReadOneFrame(peer);
  ASSERT_TRUE(request.ok);
  auto r = results_->Pop(8000ms);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, -13);
  EXPECT_TRUE(crcp_->GetAvailableServices("anything").empty());
}

TEST_F(CrcpTest, DestructionWithAPendingConnectIsClean) {
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", NeverAccepting(), Collect()));
  crcp_.reset();
  EXPECT_FALSE(results_->Pop(200ms));
  // The runtime comes back for the next facade.
  crcp_ = std::make_unique<Crcp>("client-uuid", registry_);
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", Refusing(), Collect()));
  EXPECT_TRUE(results_->Pop());
}

}  // namespace
}  // namespace crcp
