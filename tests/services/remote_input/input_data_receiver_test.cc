#include "services/remote_input/input_data_receiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include "services/remote_input/input_event_codec.h"

namespace crcp::ril {
namespace {

using asio::ip::udp;

// Collects what the receiver delivers on its thread.
class Deliveries {
 public:
  InputDataReceiver::Callback Callback() {
    return [this](const std::vector<InputEvent>& events) {
      std::lock_guard<std::mutex> lock(mutex_);
      got_.push_back(events);
      cv_.notify_all();
    };
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return got_.size() >= n; });
  }
  std::vector<std::vector<InputEvent>> Got() {
    std::lock_guard<std::mutex> lock(mutex_);
    return got_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::vector<InputEvent>> got_;
};

// A socket on 127.0.0.1 holding an ephemeral port, so a test range starts on a port
// that is known to be taken and the ports above it are very likely free.
struct PortHolder {
  asio::io_context io;
  udp::socket socket{io, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0)};
  uint16_t port() const { return socket.local_endpoint().port(); }
};

void SendFrom(const char* from, uint16_t to_port, const std::vector<uint8_t>& bytes) {
  asio::io_context io;
  udp::socket socket(io, udp::endpoint(asio::ip::make_address_v4(from), 0));
  socket.send_to(asio::buffer(bytes), udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), to_port));
}

TEST(InputDataReceiver, DeliversOnlyFromAllowedPeersAndSkipsTakenPorts) {
  PortHolder taken;
  Deliveries deliveries;
  InputDataReceiver receiver(deliveries.Callback(), "127.0.0.1");
  EXPECT_EQ(receiver.GetPort(), 0);
  ASSERT_TRUE(receiver.Listen(InputDataReceiver::MakePortRange(taken.port(), taken.port() + 20)));
  const uint16_t port = receiver.GetPort();
  EXPECT_GT(port, taken.port());
  ASSERT_TRUE(receiver.AllowPeer("127.0.0.1"));
  EXPECT_FALSE(receiver.AllowPeer("not an address"));

  const InputEvent touch{100, 5, 3, 53, 1000};
  const std::vector<uint8_t> datagram = Serialize({touch});
  // Loopback queues each datagram before send_to returns, so the order holds.
  SendFrom("127.0.0.2", port, datagram);                  // stranger: dropped
  SendFrom("127.0.0.1", port, {0x01, 0x01, 0x00, 0x00});  // refused header: dropped
  SendFrom("127.0.0.1", port, datagram);
  SendFrom("127.0.0.1", port, Serialize({}));             // empty vector still delivered
  ASSERT_TRUE(deliveries.WaitFor(2));
  auto got = deliveries.Got();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::vector<InputEvent>{touch});
  EXPECT_TRUE(got[1].empty());

  // Withdrawn peers are strangers again.
  receiver.DisallowPeer("127.0.0.1");
  SendFrom("127.0.0.1", port, datagram);
  ASSERT_TRUE(receiver.AllowPeer("127.0.0.2"));
  SendFrom("127.0.0.2", port, datagram);
  ASSERT_TRUE(deliveries.WaitFor(3));
  EXPECT_EQ(deliveries.Got().size(), 3u);
}

TEST(InputDataReceiver, AllowingIsCounted) {
  Deliveries deliveries;
  InputDataReceiver receiver(deliveries.Callback(), "127.0.0.1");
  PortHolder taken;
  ASSERT_TRUE(receiver.Listen(InputDataReceiver::MakePortRange(taken.port() + 1, taken.port() + 20)));
  receiver.AllowPeer("127.0.0.1");
  receiver.AllowPeer("127.0.0.1");
  receiver.DisallowPeer("127.0.0.1");  // one session of two from that address ended
  SendFrom("127.0.0.1", receiver.GetPort(), Serialize({{1, 0, 0, 0, 0}}));
  EXPECT_TRUE(deliveries.WaitFor(1));
}

TEST(InputDataReceiver, ListenFailsWhenEveryPortIsTakenAndMayRetry) {
  PortHolder taken;
  Deliveries deliveries;
  InputDataReceiver receiver(deliveries.Callback(), "127.0.0.1");
  EXPECT_FALSE(receiver.Listen(InputDataReceiver::MakePortRange(taken.port(), taken.port())));
  EXPECT_EQ(receiver.GetPort(), 0);
  // A second receiver on the same range gets the port above the first one.
  ASSERT_TRUE(receiver.Listen(InputDataReceiver::MakePortRange(taken.port(), taken.port() + 20)));
  InputDataReceiver second(deliveries.Callback(), "127.0.0.1");
  ASSERT_TRUE(second.Listen(InputDataReceiver::MakePortRange(receiver.GetPort(), taken.port() + 40)));
  EXPECT_GT(second.GetPort(), receiver.GetPort());
}

TEST(InputDataReceiver, StoppedReceiverKeepsPortAndIsNotBoundAgain) {
  Deliveries deliveries;
  InputDataReceiver receiver(deliveries.Callback(), "127.0.0.1");
  PortHolder taken;
  const uint32_t range = InputDataReceiver::MakePortRange(taken.port() + 1, taken.port() + 20);
  ASSERT_TRUE(receiver.Listen(range));
  const uint16_t port = receiver.GetPort();
  receiver.Stop();
  EXPECT_FALSE(receiver.Listen(range));  // runs after the stop step on the same thread
  EXPECT_EQ(receiver.GetPort(), port);
  receiver.Stop();  // twice is harmless
}

TEST(InputDataReceiver, BadBindAddressFailsListen) {
  Deliveries deliveries;
  InputDataReceiver receiver(deliveries.Callback(), "nowhere");
  EXPECT_FALSE(receiver.Listen());
}

TEST(InputDataReceiver, FatalReceiveErrorsEndTheLoop) {
  EXPECT_TRUE(InputDataReceiver::IsFatalReceiveError(asio::error::bad_descriptor));
  EXPECT_TRUE(InputDataReceiver::IsFatalReceiveError(asio::error::not_socket));
  EXPECT_TRUE(InputDataReceiver::IsFatalReceiveError(asio::error::invalid_argument));
  EXPECT_FALSE(InputDataReceiver::IsFatalReceiveError(asio::error::connection_refused));
  EXPECT_FALSE(InputDataReceiver::IsFatalReceiveError(asio::error::message_size));
  EXPECT_FALSE(InputDataReceiver::IsFatalReceiveError(asio::error::no_buffer_space));
}

TEST(InputDataReceiver, DefaultRangeIsTheConfiguredOne) {
  EXPECT_EQ(InputDataReceiver::kDefaultPortRange, (7435u << 16) | 7386u);
}

}  // namespace
}  // namespace crcp::ril
