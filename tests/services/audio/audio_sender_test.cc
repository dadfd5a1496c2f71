#include "services/audio/audio_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <boost/system/system_error.hpp>

#include "crcp/config.h"
#include "services/audio/audio_provider.h"
#include "services/audio/udp_sender.h"
#include "tests/support/log_capture.h"
#include "tests/services/audio/fake_audio_source.h"
#include "tests/services/audio/udp_sink.h"

namespace crcp::audio {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using testing_support::LogCapture;

// Polls a condition for at most five seconds.
template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

TEST(AudioProviderTest, FramesEachPacketWithTheRunningSequence) {
  auto source = std::make_shared<FakeAudioSource>();
  std::vector<Bytes> out;
  {
    AudioProvider provider(source);
    provider.SetCallback([&](Bytes datagram) { out.push_back(std::move(datagram)); });
    source->Emit({0x01});  // not running: dropped
    provider.Start();
    source->Emit({0xAA, 0xBB, 0xCC});
    source->Emit({});  // a 0-byte packet still makes a datagram
    provider.Stop();
    source->Emit({0x02});
    provider.Start();  // the sequence starts again
    source->Emit({0xDD});
    provider.Stop();
    EXPECT_EQ(source->starts(), 2);
    EXPECT_EQ(source->stops(), 2);
  }
  EXPECT_FALSE(source->HasSink());  // the provider leaves the sink it installed
  ASSERT_EQ(out.size(), 3u);
  //          sequence 0        length 3          stamp 0                   body
  EXPECT_EQ(out[0], (Bytes{0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(out[1], (Bytes{0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(out[2], (Bytes{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xDD}));
}

class AudioSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { crcp::Config::Instance().SetBindAddress("127.0.0.1"); }
  void TearDown() override { crcp::Config::Instance().SetBindAddress(""); }

  std::shared_ptr<FakeAudioSource> source_ = std::make_shared<FakeAudioSource>();
  UdpSink sink_;
};

// Every packet goes out repeat-count times, byte for byte the same, before the next;
// sequence numbers count up without a gap and begin at 0 again after each start.
TEST_F(AudioSenderTest, RepeatsAreIdenticalAndSequencesGapless) {
  AudioSender sender(source_);
  sender.Connect({sink_.port(), "127.0.0.1"});
  sender.SetRepeatCount(3);
  for (int round = 0; round < 2; ++round) {
    sender.StartSender();
    for (uint8_t i = 0; i < 5; ++i) source_->Emit(Bytes(10 + i, static_cast<uint8_t>(round * 16 + i)));
    for (uint32_t seq = 0; seq < 5; ++seq) {
      std::optional<Bytes> first;
      for (int repeat = 0; repeat < 3; ++repeat) {
        auto datagram = sink_.Receive();
        ASSERT_TRUE(datagram) << "round " << round << " seq " << seq << " repeat " << repeat;
        ASSERT_EQ(datagram->size(), 16u + 10 + seq);
        EXPECT_EQ(Bytes(datagram->begin(), datagram->begin() + 4), (Bytes{0, 0, 0, static_cast<uint8_t>(seq)}));
        if (first) {
          EXPECT_EQ(*datagram, *first);
        } else {
          first = datagram;
        }
      }
    }
    ASSERT_TRUE(Eventually([&] { return sender.PacketsOut() == 5u * (round + 1); }));
    sender.StopSender();
  }
  EXPECT_EQ(sender.PacketsIn(), 10u);
  EXPECT_FALSE(sink_.Receive(50));
}

TEST_F(AudioSenderTest, StartAndStopAreIdempotent) {
  LogCapture::Get().Clear();
  AudioSender sender(source_);
  sender.Connect({sink_.port(), "127.0.0.1"});
  sender.StartSender();
  sender.StartSender();
  EXPECT_EQ(source_->starts(), 1);
  source_->Emit({7});
  ASSERT_TRUE(sink_.Receive());
  EXPECT_FALSE(sink_.Receive(50));  // one send loop: the packet went out once
  sender.StopSender();
  sender.StopSender();
  EXPECT_EQ(source_->stops(), 1);
  EXPECT_EQ(LogCapture::Get().Count("audio start sender"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("audio stop sender"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("begin count"), 1u);
}

TEST_F(AudioSenderTest, StopWhileTheLoopWaitsOnAnEmptyQueueSendsNothing) {
  AudioSender sender(source_);
  sender.Connect({sink_.port(), "127.0.0.1"});
  sender.StartSender();
  sender.StopSender();
  EXPECT_FALSE(sender.IsRunning());
  EXPECT_FALSE(sink_.Receive(50));
  source_->Emit({1});  // stopped: dropped
  EXPECT_EQ(sender.PacketsIn(), 0u);
}

// The send loop is kept busy on one datagram (a huge repeat count), so the queue fills
// and the capture thread blocks in the hand-over. Stop must release both.
TEST_F(AudioSenderTest, StopReleasesACaptureBlockedOnAFullQueue) {
  AudioSender sender(source_);
  sender.Connect({sink_.port(), "127.0.0.1"});
  sender.SetRepeatCount(0xFFFFFFFFu);
  sender.StartSender();
  std::atomic<int> emitted{0};
  auto producer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 20; ++i) {
      source_->Emit({static_cast<uint8_t>(i)});
      ++emitted;
    }
  });
  // One datagram in the loop, six in the queue, the eighth blocks.
  ASSERT_TRUE(Eventually([&] { return sender.PacketsIn() == 7u; }));
  ASSERT_TRUE(Eventually([&] { return emitted.load() == 7; }));
  EXPECT_EQ(producer.wait_for(100ms), std::future_status::timeout);
  EXPECT_EQ(emitted.load(), 7);
  sender.StopSender();
  ASSERT_EQ(producer.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(sender.PacketsOut(), 0u);  // the busy datagram never finished its repeats
  EXPECT_EQ(sender.PacketsIn(), 7u);   // nothing was queued after the stop
}

// Destroying a running sender stops it before the socket closes, without throwing.
TEST_F(AudioSenderTest, DestroyingARunningSenderIsClean) {
  auto sender = std::make_unique<AudioSender>(source_);
  sender->Connect({sink_.port(), "127.0.0.1"});
  sender->SetRepeatCount(1000);
  sender->StartSender();
  for (int i = 0; i < 3; ++i) source_->Emit({1, 2, 3});
  ASSERT_TRUE(sink_.Receive());
  EXPECT_NO_THROW(sender.reset());
  EXPECT_EQ(source_->stops(), 1);
  EXPECT_FALSE(source_->HasSink());
}

TEST_F(AudioSenderTest, WithoutAPeerEveryRepeatFailsAndTheLoopGoesOn) {
  LogCapture::Get().Clear();
  AudioSender sender(source_);
  sender.SetRepeatCount(2);
  sender.StartSender();
  source_->Emit({1});
  source_->Emit({2});
  ASSERT_TRUE(Eventually([&] { return sender.PacketsOut() == 2u; }));
  sender.StopSender();
  EXPECT_EQ(LogCapture::Get().Count("audio sendto fail, error code -1"), 4u);
}

TEST(UdpSenderTest, SendsOnlyWhileConnected) {
  UdpSink sink;
  UdpSender sender;
  EXPECT_EQ(sender.Send({1, 2}), -1);
  ASSERT_TRUE(sender.Connect("127.0.0.1", sink.port()));
  EXPECT_EQ(sender.Send({1, 2, 3}), 3);
  EXPECT_EQ(sink.Receive(), (Bytes{1, 2, 3}));
  sender.Disconnect();
  EXPECT_EQ(sender.Send({1}), -1);
  sender.Cancel();  // on a closed socket: no throw
}

TEST(UdpSenderTest, AnUnparsableHostCountsAsSentAndIsLogged) {
  LogCapture::Get().Clear();
  UdpSender sender;
  sender.Connect("not an address", 9);
  EXPECT_GE(sender.Send({1}), 0);
  EXPECT_EQ(LogCapture::Get().Count("udp fail send data"), 1u);
}

// A bind address the host does not have: the socket cannot be made, and the sender's
// constructor says so instead of leaving a sender without a socket.
TEST(UdpSenderTest, AnUnbindableAddressFailsConstruction) {
  crcp::Config::Instance().SetBindAddress("192.0.2.1");
  EXPECT_THROW(UdpSender(), boost::system::system_error);
  EXPECT_THROW(AudioSender(std::make_shared<FakeAudioSource>()), boost::system::system_error);
  crcp::Config::Instance().SetBindAddress("not an address");
  EXPECT_THROW(UdpSender(), boost::system::system_error);
  crcp::Config::Instance().SetBindAddress("");
}

}  // namespace
}  // namespace crcp::audio
