#include "services/media_link/connection.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <boost/asio/error.hpp>
#include <gtest/gtest.h>

#include "services/media_link/command_sender.h"
#include "tests/services/media_link/loopback_peer.h"

namespace crcp::video {
namespace {

using testing::LoopbackPeer;
using Bytes = std::vector<uint8_t>;
constexpr auto kWait = std::chrono::seconds(5);

class RecordingListener : public Connection::Listener {
 public:
  void OnPacket(std::shared_ptr<VideoPacket> packet) override {
    std::lock_guard<std::mutex> lock(mutex_);
    packets_.push_back(std::move(packet));
    changed_.notify_all();
  }
  void OnError() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++errors_;
    changed_.notify_all();
  }
  void OnDisconnect() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++disconnects_;
    changed_.notify_all();
  }

  bool WaitPackets(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] { return packets_.size() >= n; });
  }
  bool WaitError() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] { return errors_ > 0; });
  }
  std::vector<std::shared_ptr<VideoPacket>> packets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return packets_;
  }
  int errors() {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
  }
  int disconnects() {
    std::lock_guard<std::mutex> lock(mutex_);
    return disconnects_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<VideoPacket>> packets_;
  int errors_ = 0;
  int disconnects_ = 0;
};

Bytes Header(uint32_t type, uint32_t length, uint64_t stamp = 0) {
  Bytes h(kVideoPacketHeaderSize);
  WriteVideoPacketHeader(type, length, stamp, h.data());
  return h;
}

class ConnectionTest : public ::testing::Test {
 protected:
  void ConnectWith(ConnectionOptions options = ConnectionOptions()) {
    connection_ = std::make_unique<Connection>(std::move(options));
    connection_->SetListener(listener_);
    ASSERT_EQ(connection_->Connect("127.0.0.1", peer_.port()), 0);
    ASSERT_TRUE(peer_.Accept());
    EXPECT_TRUE(connection_->IsConnected());
    EXPECT_EQ(connection_->PeerAddress(), "127.0.0.1");
  }

  LoopbackPeer peer_;
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  std::unique_ptr<Connection> connection_;
};

TEST_F(ConnectionTest, DeliversPacketsInOrderIncludingEmptyBodies) {
  ConnectWith();
  ASSERT_TRUE(peer_.WritePacket(0x100, R"({"resultType":0})", 42));
  ASSERT_TRUE(peer_.WritePacket(0x52, ""));
  ASSERT_TRUE(peer_.WritePacket(0x53, "x"));
  ASSERT_TRUE(listener_->WaitPackets(3));
  const auto packets = listener_->packets();
  EXPECT_EQ(packets[0]->type, 0x100u);
  EXPECT_EQ(packets[0]->stamp, 42u);
  EXPECT_EQ(std::string(packets[0]->payload.begin(), packets[0]->payload.end()),
            R"({"resultType":0})");
  EXPECT_EQ(packets[1]->type, 0x52u);
  EXPECT_TRUE(packets[1]->payload.empty());
  EXPECT_TRUE(packets[1]->IsComplete());
  EXPECT_EQ(packets[2]->payload, (Bytes{'x'}));
  // Each delivery is a record of its own.
  EXPECT_NE(packets[0].get(), packets[1].get());
  EXPECT_EQ(listener_->errors(), 0);
}

// The body limit is the connection's: 10 MiB inclusive on the video links, 16 MiB on
// the audio command link. A larger length is reported once and reading stops, so the
// owner learns that the link is dead.
struct LimitCase {
  const char* name;
  uint32_t max_body_length;
  uint32_t length;
  bool accepted;
};

class ConnectionLimitTest : public ConnectionTest,
                            public ::testing::WithParamInterface<LimitCase> {};

TEST_P(ConnectionLimitTest, BodyLengthAgainstTheLimit) {
  const LimitCase& c = GetParam();
  ConnectionOptions options;
  options.max_body_length = c.max_body_length;
  ConnectWith(options);
  ASSERT_TRUE(peer_.Write(Header(1, c.length)));
  if (c.accepted) {
    ASSERT_TRUE(peer_.Write(Bytes(c.length, 0x5A)));
    ASSERT_TRUE(listener_->WaitPackets(1));
    EXPECT_EQ(listener_->packets()[0]->payload.size(), c.length);
    EXPECT_EQ(listener_->errors(), 0);
  } else {
    ASSERT_TRUE(listener_->WaitError());
    // Nothing after the refused header is read any more.
    ASSERT_TRUE(peer_.WritePacket(2, ""));
    EXPECT_TRUE(peer_.NothingPending(100));
    EXPECT_TRUE(listener_->packets().empty());
    EXPECT_EQ(listener_->errors(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ConnectionLimitTest,
    ::testing::Values(LimitCase{"VideoAtLimit", kVideoMaxBodyLength, 0xA00000, true},
                      LimitCase{"VideoOneAbove", kVideoMaxBodyLength, 0xA00001, false},
                      LimitCase{"VideoHuge", kVideoMaxBodyLength, 0xFFFFFFFF, false},
                      LimitCase{"AudioAcceptsAboveVideo", kAudioMaxBodyLength, 0xA00001, true},
                      LimitCase{"AudioOneAbove", kAudioMaxBodyLength, 0x1000001, false}),
    [](const ::testing::TestParamInfo<LimitCase>& p) { return p.param.name; });

TEST_F(ConnectionTest, PeerClosingMidBodyIsAnError) {
  ConnectWith();
  ASSERT_TRUE(peer_.Write(Header(1, 100)));
  ASSERT_TRUE(peer_.Write(Bytes(10, 1)));
  peer_.CloseConnection();
  ASSERT_TRUE(listener_->WaitError());
  EXPECT_TRUE(listener_->packets().empty());
  EXPECT_EQ(listener_->errors(), 1);
}

TEST_F(ConnectionTest, SendsFromSeveralThreadsNeverInterleave) {
  ConnectWith();
  constexpr int kThreads = 4;
  constexpr int kPerThread = 100;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([this, t] {
      for (int i = 0; i < kPerThread; ++i) {
        // Large enough that a write can be split by the kernel.
        connection_->Send(SendPacket(static_cast<uint16_t>(t * 1000 + i),
                                     std::string(20000, static_cast<char>('a' + t))));
      }
    });
  }
  std::set<uint32_t> seen;
  for (int n = 0; n < kThreads * kPerThread; ++n) {
    const auto packet = peer_.ReadPacket();
    ASSERT_TRUE(packet.has_value()) << "after " << n << " packets";
    const int t = static_cast<int>(packet->type / 1000);
    ASSERT_EQ(packet->body, std::string(20000, static_cast<char>('a' + t)));
    seen.insert(packet->type);
  }
  for (auto& s : senders) s.join();
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kPerThread));
}

TEST_F(ConnectionTest, AsyncSendCompletesOnTheWorker) {
  ConnectWith();
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  boost::system::error_code result;
  size_t written = 0;
  connection_->AsyncSend(SendPacket(0, "abcd"), [&](const boost::system::error_code& ec, size_t n) {
    std::lock_guard<std::mutex> lock(m);
    result = ec;
    written = n;
    done = true;
    cv.notify_all();
  });
  const auto packet = peer_.ReadPacket();
  ASSERT_TRUE(packet.has_value());
  EXPECT_EQ(packet->body, "abcd");
  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, kWait, [&] { return done; }));
  EXPECT_FALSE(result);
  EXPECT_EQ(written, 20u);
}

TEST_F(ConnectionTest, DisconnectIsReportedOnceAfterTheWorkerEnded) {
  ConnectWith();
  connection_->Disconnect();
  EXPECT_EQ(listener_->disconnects(), 1);
  EXPECT_FALSE(connection_->IsConnected());
  EXPECT_FALSE(connection_->Send(SendPacket(2, "")));
  connection_.reset();
  EXPECT_EQ(listener_->disconnects(), 1);
  // The peer sees the link closed.
  EXPECT_FALSE(peer_.Read(1).has_value());
}

TEST(ConnectionLifecycleTest, NeverConnectedStillReportsDisconnect) {
  auto listener = std::make_shared<RecordingListener>();
  {
    Connection connection;
    connection.SetListener(listener);
    EXPECT_FALSE(connection.IsConnected());
  }
  EXPECT_EQ(listener->disconnects(), 1);
  EXPECT_EQ(listener->errors(), 0);
}

TEST(ConnectionConnectTest, FailuresComeBackAsErrorValues) {
  Connection connection;
  // Not an address: an error value, never an exception.
  EXPECT_NE(connection.Connect("not-an-address", 1), 0);
  EXPECT_NE(connection.Connect("", 1), 0);
  // A port nobody listens on.
  uint16_t free_port;
  {
    LoopbackPeer closed;
    free_port = closed.port();
  }
  EXPECT_EQ(connection.Connect("127.0.0.1", free_port),
            static_cast<int>(boost::asio::error::connection_refused));
  EXPECT_FALSE(connection.IsConnected());
  // The connection can still connect after failures.
  LoopbackPeer peer;
  EXPECT_EQ(connection.Connect("127.0.0.1", peer.port()), 0);
  EXPECT_TRUE(peer.Accept());
}

TEST(ConnectionConnectTest, DeadlineEndsAConnectThatNeverCompletes) {
  LoopbackPeer peer(0);
  peer.FillBacklog();
  ConnectionOptions options;
  EXPECT_EQ(options.connect_timeout, std::chrono::milliseconds(3000));
  options.connect_timeout = std::chrono::milliseconds(300);
  Connection connection(options);
  EXPECT_EQ(connection.Connect("127.0.0.1", peer.port()),
            static_cast<int>(boost::asio::error::timed_out));
  EXPECT_FALSE(connection.IsConnected());
}

TEST(ConnectionConnectTest, BindAddressIsUsedAsTheLocalEnd) {
  LoopbackPeer peer;
  ConnectionOptions options;
  options.bind_address = "127.0.0.1";
  Connection connection(options);
  EXPECT_EQ(connection.Connect("127.0.0.1", peer.port()), 0);
  EXPECT_TRUE(peer.Accept());

  ConnectionOptions bad;
  bad.bind_address = "not-an-address";
  Connection unbound(bad);
  EXPECT_NE(unbound.Connect("127.0.0.1", peer.port()), 0);
}

}  // namespace
}  // namespace crcp::video
