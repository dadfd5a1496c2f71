#include "services/audio/connection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "crcp/config.h"
#include "services/media_link/video_packet.h"
#include "tests/services/media_link/loopback_peer.h"

namespace crcp::audio {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using crcp::video::testing::LoopbackPeer;

class CountingListener : public Connection::Listener {
 public:
  void OnPacket(std::shared_ptr<AudioPacket> packet) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sizes_.push_back(packet->payload.size());
    cv_.notify_all();
  }
  void OnError() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++errors_;
    cv_.notify_all();
  }
  void OnDisconnect() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++disconnects_;
  }
  bool Wait(size_t packets, int errors) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 5s, [&] { return sizes_.size() >= packets && errors_ >= errors; });
  }
  std::vector<size_t> sizes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sizes_;
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
  std::condition_variable cv_;
  std::vector<size_t> sizes_;
  int errors_ = 0;
  int disconnects_ = 0;
};

Bytes Header(uint32_t type, uint32_t length) {
  Bytes h(crcp::video::kVideoPacketHeaderSize);
  crcp::video::WriteVideoPacketHeader(type, length, 0, h.data());
  return h;
}

TEST(AudioConnectionTest, OptionsMakeTheAudioLink) {
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  const auto options = AudioConnectionOptions();
  crcp::Config::Instance().SetBindAddress("");
  EXPECT_EQ(options.log_tag, "MirrorAudio::Connection");
  EXPECT_EQ(options.socket_log_tag, "asio tcp");
  EXPECT_EQ(options.max_body_length, 16u * 1024 * 1024);
  EXPECT_EQ(options.connect_timeout, 3000ms);
  EXPECT_EQ(options.timeout_log_prefix, "conect to");
  EXPECT_EQ(options.send_buffer_size, 0);
  EXPECT_FALSE(options.log_connect_errors);
  EXPECT_TRUE(options.log_teardown);
  EXPECT_EQ(options.bind_address, "127.0.0.1");
}

// The audio link reads bodies beyond the video links' 10 MiB, but a length from the
// wire above 16 MiB is refused before anything is allocated: reported, reading ends.
TEST(AudioConnectionTest, BodiesUpTo16MiBAreReadAndLargerOnesEndTheLink) {
  LoopbackPeer peer;
  auto listener = std::make_shared<CountingListener>();
  Connection connection;
  connection.SetListener(listener);
  ASSERT_EQ(connection.Connect("127.0.0.1", peer.port()), 0);
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(peer.Write(Header(101, 10485761)));
  ASSERT_TRUE(peer.Write(Bytes(10485761, 0x20)));
  ASSERT_TRUE(listener->Wait(1, 0));
  ASSERT_TRUE(peer.Write(Header(101, 0xFFFFFFFF)));
  ASSERT_TRUE(listener->Wait(1, 1));
  ASSERT_TRUE(peer.WritePacket(101, "{}"));
  EXPECT_TRUE(peer.NothingPending(100));
  EXPECT_EQ(listener->sizes(), (std::vector<size_t>{10485761}));
  EXPECT_EQ(listener->errors(), 1);
  connection.Disconnnect();
  connection.Disconnnect();
  EXPECT_EQ(listener->disconnects(), 1);
}

TEST(AudioConnectionTest, NeverConnectedStillReportsDisconnectOnce) {
  auto listener = std::make_shared<CountingListener>();
  {
    Connection connection;
    connection.SetListener(listener);
  }
  EXPECT_EQ(listener->disconnects(), 1);
}

}  // namespace
}  // namespace crcp::audio
