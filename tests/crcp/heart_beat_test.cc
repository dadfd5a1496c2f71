#include "crcp/heart_beat.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <atomic>
#include <thread>

#include <asio/ip/udp.hpp>
#include <gtest/gtest.h>

#include "crcp/config.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using namespace std::chrono_literals;
using testing_support::LogCapture;

// This test program's own heart-beat ports.
constexpr uint16_t kFirstPort = 27420;
constexpr uint16_t kLastPort = 27429;

std::vector<uint8_t> Datagram(uint64_t seq) {
  std::vector<uint8_t> d(16, 0);
  for (int i = 0; i < 8; ++i) d[i] = static_cast<uint8_t>(seq >> (56 - 8 * i));
  uint32_t inv = ~static_cast<uint32_t>(seq);
  for (int i = 0; i < 4; ++i) d[8 + i] = static_cast<uint8_t>(inv >> (24 - 8 * i));
  d[12] = 5;
  return d;
}

class HeartBeatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(kFirstPort, kLastPort);
    Config::Instance().SetBindAddress("127.0.0.1");
    Config::Instance().SetHeartBeatTimeout(400);
    peer_.open(asio::ip::udp::v4());
    peer_.bind({asio::ip::make_address("127.0.0.1"), 0});
    timeval tv{3, 0};
    ::setsockopt(peer_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    heart_beat_ = std::make_shared<HeartBeat>();
    heart_beat_->SetLoseHandler([this] { losses_++; });
    LogCapture::Get().Clear();
  }
  void TearDown() override {
    if (heart_beat_) heart_beat_->Close();
  }
  bool WaitForLosses(int n) {
    for (int i = 0; i < 400 && losses_.load() < n; ++i) std::this_thread::sleep_for(20ms);
    return losses_.load() == n;
  }

  void StartBeating() {
    heart_beat_->SetPeer("127.0.0.1", peer_.local_endpoint().port());
    heart_beat_->Beat();
  }
  void PeerSend(uint64_t seq) {
    peer_.send_to(asio::buffer(Datagram(seq)),
                  asio::ip::udp::endpoint(asio::ip::make_address("127.0.0.1"), heart_beat_->GetPort()));
  }
  std::vector<uint8_t> PeerReceive() {
    // Plain recv: SO_RCVTIMEO bounds it (asio's own receive would poll on).
    std::vector<uint8_t> buf(64);
    ssize_t n = ::recv(peer_.native_handle(), buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
  }
  std::string Tag() { return "[127.0.0.1:" + std::to_string(peer_.local_endpoint().port()) + "]"; }

  asio::io_context context_;
  asio::ip::udp::socket peer_{context_};
  std::shared_ptr<HeartBeat> heart_beat_;
  std::atomic<int> losses_{0};
};

TEST_F(HeartBeatTest, ListensInTheRangeAndSendsNumberedDatagrams) {
  EXPECT_GE(heart_beat_->GetPort(), kFirstPort);
  EXPECT_LE(heart_beat_->GetPort(), kLastPort);
  StartBeating();
  for (uint64_t seq = 1; seq <= 3; ++seq) {
    auto d = PeerReceive();
    ASSERT_EQ(d, Datagram(seq)) << seq;
  }
}

TEST_F(HeartBeatTest, PeerPortZeroSendsNothing) {
  heart_beat_->SetPeer("127.0.0.1", 0);
  heart_beat_->Beat();
  timeval tv{0, 600000};
  ::setsockopt(peer_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  EXPECT_TRUE(PeerReceive().empty());
}

TEST_F(HeartBeatTest, GapsAreCountedAndOldOrFarDatagramsIgnored) {
  Config::Instance().SetHeartBeatTimeout(60000);
  StartBeating();
  PeerSend(300);  // more than 240 ahead of nothing
  ASSERT_TRUE(LogCapture::Get().WaitFor("Heart beat from No.300 to No.0 is more than 60s"));
  PeerSend(1);
  PeerSend(2);
  PeerSend(5);
  ASSERT_TRUE(LogCapture::Get().WaitFor(Tag() + " Heart beat from No.3 to No.4 lost, count: 2 "));
  PeerSend(5);
  ASSERT_TRUE(LogCapture::Get().WaitFor(
      Tag() + " Heart beat packet seq No.(5) is not greater than recv seq No.(5)"));
  PeerSend(6);
  ASSERT_TRUE(LogCapture::Get().WaitFor(Tag() + " Receive No.6 heart beat"));
  EXPECT_EQ(LogCapture::Get().Count("lost, count"), 1u);
  EXPECT_EQ(losses_.load(), 0);
}

TEST_F(HeartBeatTest, OversizedDatagramIsRejectedAndReceivingGoesOn) {
  Config::Instance().SetHeartBeatTimeout(60000);
  StartBeating();
  std::vector<uint8_t> big(2000, 0xAB);
  peer_.send_to(asio::buffer(big),
                asio::ip::udp::endpoint(asio::ip::make_address("127.0.0.1"), heart_beat_->GetPort()));
  ASSERT_TRUE(LogCapture::Get().WaitFor("Received packet size is 1024, expect size is 16"));
  PeerSend(1);
  EXPECT_TRUE(LogCapture::Get().WaitFor(Tag() + " Receive No.1 heart beat"));
}

// Another host beats for the peer, with the peer's next numbers: nothing of it counts,
// so the session is lost as if nobody beat, and a flood of it logs a handful of lines.
TEST_F(HeartBeatTest, AStrangersDatagramsNeitherCountNorFloodTheLog) {
  StartBeating();
  PeerSend(1);
  asio::ip::udp::socket stranger(context_, {asio::ip::make_address("127.0.0.2"), 0});
  const asio::ip::udp::endpoint target(asio::ip::make_address("127.0.0.1"), heart_beat_->GetPort());
  uint64_t seq = 2;
  for (; seq < 500; ++seq) stranger.send_to(asio::buffer(Datagram(seq)), target);
  // Paced well inside the 400 ms time-out for a second: would keep a peer alive.
  for (int i = 0; i < 20; ++i, ++seq) {
    stranger.send_to(asio::buffer(Datagram(seq)), target);
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(losses_.load(), 1);
  EXPECT_EQ(LogCapture::Get().Count(Tag() + " Receive No.2 heart beat"), 0u);
  const size_t drops = LogCapture::Get().Count("Drop heart beat from 127.0.0.2");
  EXPECT_GE(drops, 1u);
  EXPECT_LE(drops, 5u);
}

TEST_F(HeartBeatTest, SilenceAfterAcceptedDatagramsCallsTheLoseHandlerOnce) {
  StartBeating();
  PeerSend(1);
  PeerSend(2);
  ASSERT_TRUE(LogCapture::Get().WaitFor("fail to receive heart beat from 127.0.0.1"));
  std::this_thread::sleep_for(900ms);  // more than two time-outs
  EXPECT_EQ(losses_.load(), 1);
  // Datagrams are not taken while lost; sending goes on.
  EXPECT_FALSE(PeerReceive().empty());
}

TEST_F(HeartBeatTest, RetryResumesAndTakesTheNextDatagramAsNewBase) {
  StartBeating();
  PeerSend(10);
  ASSERT_TRUE(LogCapture::Get().WaitFor("fail to receive heart beat from"));
  LogCapture::Get().Clear();
  heart_beat_->Retry();
  ASSERT_TRUE(LogCapture::Get().WaitFor("Retry to receive heart beat"));
  PeerSend(900);  // the peer's counter ran far ahead meanwhile
  PeerSend(901);
  ASSERT_TRUE(LogCapture::Get().WaitFor("Receive No.901 heart beat"));
  EXPECT_EQ(LogCapture::Get().Count("is more than 60s"), 0u);
  EXPECT_TRUE(WaitForLosses(2));
}

TEST_F(HeartBeatTest, CloseStopsSendingAndTheLoseHandler) {
  StartBeating();
  PeerSend(1);
  ASSERT_FALSE(PeerReceive().empty());
  heart_beat_->Close();
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(losses_.load(), 0);
  // Drain whatever was already in flight, then expect silence.
  timeval tv{0, 400000};
  ::setsockopt(peer_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  while (!PeerReceive().empty()) {
  }
  EXPECT_TRUE(PeerReceive().empty());
}

TEST_F(HeartBeatTest, TakenPortsAreSkippedAndAFullRangeThrows) {
  heart_beat_->Close();
  heart_beat_.reset();
  // Takes two ports itself and gives the heart beat a range starting with them.
  auto take = [this](uint16_t port) {
    auto socket = std::make_unique<asio::ip::udp::socket>(context_);
    socket->open(asio::ip::udp::v4());
    std::error_code ec;
    socket->bind({asio::ip::make_address("127.0.0.1"), port}, ec);
    return ec ? nullptr : std::move(socket);
  };
  bool checked = false;
  for (uint16_t first = kFirstPort + 2; first + 2 <= kLastPort && !checked; ++first) {
    auto a = take(first);
    auto b = take(first + 1);
    if (!a || !b) continue;
    Config::Instance().SetPorts(first, first + 2);
    std::shared_ptr<HeartBeat> third;
    try {
      third = std::make_shared<HeartBeat>();
    } catch (const std::system_error&) {
      continue;  // the third port is busy too
    }
    EXPECT_EQ(third->GetPort(), first + 2);
    Config::Instance().SetPorts(first, first + 1);
    EXPECT_THROW(HeartBeat(), std::system_error);
    checked = true;
  }
  EXPECT_TRUE(checked);
  Config::Instance().SetPorts(kFirstPort, kLastPort);
}

}  // namespace
}  // namespace crcp
