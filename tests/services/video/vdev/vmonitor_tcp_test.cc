#include <chrono>
#include <future>
#include <memory>

#include <boost/asio.hpp>
#include <gtest/gtest.h>

#include "platform/display/sim_virtual_display_driver.h"
#include "platform/display/virtual_display_names.h"
#include "services/video/vdev/vmonitor.h"

namespace VDevUtils {
namespace {

namespace pd = platform::display;
using boost::asio::ip::tcp;

// The driver service's loopback stand-in: accepts one client on 127.0.0.1 (an ephemeral
// port here; the real service listens on 49635), reads its byte, answers `answer` and
// then waits for the client to close.
class FakeControlService {
 public:
  explicit FakeControlService(uint8_t answer)
      : acceptor_(io_, tcp::endpoint(boost::asio::ip::make_address_v4("127.0.0.1"), 0)) {
    served_ = std::async(std::launch::async, [this, answer] { return Serve(answer); });
  }
  ~FakeControlService() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
  }

  uint16_t port() const { return acceptor_.local_endpoint().port(); }

  // The byte the client sent, then whether the client closed the link (-1 when
  // something failed).
  std::pair<int, bool> Result() {
    if (served_.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return {-1, false};
    return served_.get();
  }

 private:
  std::pair<int, bool> Serve(uint8_t answer) {
    boost::system::error_code ec;
    tcp::socket peer(io_);
    acceptor_.accept(peer, ec);
    if (ec) return {-1, false};
    uint8_t request = 0;
    boost::asio::read(peer, boost::asio::buffer(&request, 1), ec);
    if (ec) return {-1, false};
    boost::asio::write(peer, boost::asio::buffer(&answer, 1), ec);
    if (ec) return {-1, false};
    uint8_t more = 0;
    boost::asio::read(peer, boost::asio::buffer(&more, 1), ec);
    return {request, ec == boost::asio::error::eof};
  }

  boost::asio::io_context io_;
  tcp::acceptor acceptor_;
  std::future<std::pair<int, bool>> served_;
};

std::shared_ptr<pd::SimVirtualDisplayDriver> PipeDenied(uint16_t loopback_port) {
  pd::SimVirtualDisplayDriver::Script s;
  s.pipe_status = pd::PipeOpenStatus::kAccessDenied;
  s.loopback_port = loopback_port;
  return std::make_shared<pd::SimVirtualDisplayDriver>(s);
}

TEST(VMonitorTcpTest, DeniedPipeFallsBackToTheLoopbackExchange) {
  FakeControlService service('A');
  VMonitor monitor(PipeDenied(service.port()));
  EXPECT_EQ(monitor.Open(), VMonitor::kOpened);
  // The link stays open while the monitor is on, and closes with it.
  EXPECT_EQ(monitor.Close(), 0);
  const auto [request, closed] = service.Result();
  EXPECT_EQ(request, 'P');
  EXPECT_TRUE(closed);
}

TEST(VMonitorTcpTest, AnswerOtherThanAFailsAndClosesTheLink) {
  FakeControlService service('N');
  VMonitor monitor(PipeDenied(service.port()));
  EXPECT_EQ(monitor.Open(), VMonitor::kFailed);
  const auto [request, closed] = service.Result();
  EXPECT_EQ(request, 'P');
  EXPECT_TRUE(closed);
  EXPECT_FALSE(monitor.IsOpened());
}

TEST(VMonitorTcpTest, NoServiceFails) {
  uint16_t free_port = 0;
  {
    // A port nobody listens on once this acceptor is gone.
    boost::asio::io_context io;
    tcp::acceptor probe(io, tcp::endpoint(boost::asio::ip::make_address_v4("127.0.0.1"), 0));
    free_port = probe.local_endpoint().port();
  }
  VMonitor monitor(PipeDenied(free_port));
  EXPECT_EQ(monitor.Open(), VMonitor::kFailed);
}

}  // namespace
}  // namespace VDevUtils
