#include "crcp/connection.h"

#include <sys/socket.h>

#include <cerrno>
#include <thread>
#include <vector>

#include <asio/read.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include "crcp/tcp_socket.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using test::Frame;
using test::Inbox;
using testing_support::LogCapture;

// What one ReadMessage produced: a message, or a local error code.
struct Delivery {
  bool error = false;
  int code = 0;
  uint16_t id = 0;
  json content;
};

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pair_ = test::MakeSocketPair();
    connection_ = std::make_shared<Connection>(pair_.ours);
  }
  void TearDown() override { connection_->Close(); }

  void Arm() {
    auto inbox = inbox_;
    connection_->ReadMessage(
        [inbox](uint16_t id, const json& content) { inbox->Push({false, 0, id, content}); },
        [inbox](int code) { inbox->Push({true, code, 0, nullptr}); });
  }
  void PeerWrite(const std::vector<uint8_t>& bytes) { asio::write(*pair_.peer, asio::buffer(bytes)); }
  // True when the peer sees its connection closed by us.
  bool PeerSeesClose() {
    test::SetReceiveTimeout(*pair_.peer, 3000);
    uint8_t b;
    ssize_t n = ::recv(pair_.peer->native_handle(), &b, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
  }

  test::SocketPair pair_;
  std::shared_ptr<Connection> connection_;
  std::shared_ptr<Inbox<Delivery>> inbox_ = std::make_shared<Inbox<Delivery>>();
};

TEST_F(ConnectionTest, FirstSentMessageIsNumberedOneWithCompactBody) {
  ASSERT_FALSE(connection_->SendMessage(202, json{{"b", 1}, {"a", "x"}}));
  ASSERT_FALSE(connection_->SendMessage(1, nullptr));
  auto first = test::ReadOneFrame(*pair_.peer);
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(first.seq, 1u);
  EXPECT_EQ(first.body, R"({"content":{"a":"x","b":1},"id":202})");
  auto second = test::ReadOneFrame(*pair_.peer);
  EXPECT_EQ(second.seq, 2u);
  EXPECT_EQ(second.body, R"({"content":null,"id":1})");
}

TEST_F(ConnectionTest, InvalidUtf8IsReplacedNotThrown) {
  std::string bad = "a\xFF" "b";
  EXPECT_FALSE(connection_->SendMessage(202, json{{"message", bad}}));
  auto frame = test::ReadOneFrame(*pair_.peer);
  ASSERT_TRUE(frame.ok);
  EXPECT_EQ(frame.seq, 1u);
  EXPECT_EQ(json::parse(frame.body)["content"]["message"], "a\xEF\xBF\xBD" "b");
}

TEST_F(ConnectionTest, SendAfterCloseIsConnectionResetAndNumbersNothing) {
  connection_->Close();
  EXPECT_EQ(connection_->SendMessage(1, nullptr), asio::error::connection_reset);
}

TEST_F(ConnectionTest, ConcurrentSendsArriveIntactAndConsecutivelyNumbered) {
  constexpr int kThreads = 6, kEach = 50;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      // Large bodies make a torn write visible.
      std::string payload(20000 + t, static_cast<char>('a' + t));
      for (int i = 0; i < kEach; ++i)
        EXPECT_FALSE(connection_->SendMessage(202, json{{"t", t}, {"i", i}, {"p", payload}}));
    });
  }
  std::vector<int> next(kThreads, 0);
  for (int n = 1; n <= kThreads * kEach; ++n) {
    auto frame = test::ReadOneFrame(*pair_.peer);
    ASSERT_TRUE(frame.ok) << n;
    ASSERT_EQ(frame.seq, static_cast<uint32_t>(n));
    json body = json::parse(frame.body);
    int t = body["content"]["t"];
    EXPECT_EQ(body["content"]["i"], next[t]++);
    EXPECT_EQ(body["content"]["p"].get<std::string>(), std::string(20000 + t, 'a' + t));
  }
  for (auto& s : senders) s.join();
}

TEST_F(ConnectionTest, MessagesAreDeliveredOnePerReadInOrder) {
  auto a = Frame(1, R"({"id":1,"content":null})");
  auto b = Frame(2, R"({"id":202,"content":{"serviceId":"s","message":"m"}})");
  a.insert(a.end(), b.begin(), b.end());
  PeerWrite(a);
  Arm();
  auto first = inbox_->Pop();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->id, 1);
  EXPECT_TRUE(first->content.is_null());
  EXPECT_FALSE(inbox_->Pop(200ms));  // nothing until the next ReadMessage
  Arm();
  auto second = inbox_->Pop();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->id, 202);
  EXPECT_EQ(second->content["message"], "m");
}

struct StreamCase {
  const char* what;
  std::vector<uint8_t> bytes;
  bool error;
  int code_or_id;
  bool closes;  // whether we close the socket afterwards
};

class ConnectionStreams : public ConnectionTest,
                          public ::testing::WithParamInterface<StreamCase> {};

TEST_P(ConnectionStreams, DeliverWhatTheBytesSay) {
  const auto& c = GetParam();
  PeerWrite(c.bytes);
  Arm();
  auto got = inbox_->Pop();
  ASSERT_TRUE(got) << c.what;
  EXPECT_EQ(got->error, c.error) << c.what;
  EXPECT_EQ(got->error ? got->code : got->id, c.code_or_id) << c.what;
  if (c.closes) {
    EXPECT_TRUE(PeerSeesClose()) << c.what;
  } else {
    // Still open: our side accepts a send.
    EXPECT_FALSE(connection_->SendMessage(1, nullptr)) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectionStreams,
    ::testing::Values(
        StreamCase{"plain message", Frame(1, R"({"id":103,"content":null})"), false, 103, false},
        StreamCase{"no content is null", Frame(1, R"({"id":4})"), false, 4, false},
        StreamCase{"wire 60000 is just an id", Frame(1, R"({"id":60000,"content":{"code":-1}})"),
                   false, 60000, false},
        StreamCase{"integral float id", Frame(1, R"({"id":202.0})"), false, 202, false},
        StreamCase{"first sequence 2", Frame(2, R"({"id":1})"), true, -8, true},
        StreamCase{"bad invert, v5", Frame(1, R"({"id":1})", 5, 7, true), true, -8, false},
        StreamCase{"body beyond 16 MiB", Frame(1, "", 5, 0, false, 1, (16u << 20) + 1), true, -8,
                   true},
        StreamCase{"id is a string", Frame(1, R"({"id":"1"})"), true, -9, false},
        StreamCase{"id missing", Frame(1, R"({"content":1})"), true, -9, false},
        StreamCase{"id out of range", Frame(1, R"({"id":65536})"), true, -9, false},
        StreamCase{"id negative", Frame(1, R"({"id":-1})"), true, -9, false},
        StreamCase{"id fractional", Frame(1, R"({"id":1.5})"), true, -9, false},
        StreamCase{"id boolean", Frame(1, R"({"id":true})"), true, -9, false},
        StreamCase{"body not json", Frame(1, "{oops"), true, -9, false},
        StreamCase{"body an array", Frame(1, "[1,2]"), true, -9, false},
        StreamCase{"empty body", Frame(1, ""), true, -9, false}));

TEST_F(ConnectionTest, PeerCloseIsOneReadFailure) {
  pair_.peer->close();
  Arm();
  auto got = inbox_->Pop();
  ASSERT_TRUE(got);
  EXPECT_TRUE(got->error);
  EXPECT_EQ(got->code, -3);
  Arm();  // the socket is gone: nothing more arrives
  EXPECT_FALSE(inbox_->Pop(200ms));
}

TEST_F(ConnectionTest, PeerCloseInsideABodyIsAReadFailure) {
  auto frame = Frame(1, R"({"id":1,"content":"long enough"})");
  frame.resize(70);
  PeerWrite(frame);
  pair_.peer->close();
  Arm();
  auto got = inbox_->Pop();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->code, -3);
}

TEST_F(ConnectionTest, LocalCloseDeliversNothing) {
  Arm();
  connection_->Close();
  PeerWrite(Frame(1, R"({"id":1})"));
  EXPECT_FALSE(inbox_->Pop(300ms));
}

TEST_F(ConnectionTest, WrongSequenceIsLoggedWithTheHeaderBytes) {
  LogCapture::Get().Clear();
  PeerWrite(Frame(2, R"({"id":1})"));
  Arm();
  ASSERT_TRUE(inbox_->Pop());
  EXPECT_EQ(LogCapture::Get().Count("Receive a wrong packet, header: 00 00 00 02 00 00 00 08"), 1u);
}

TEST_F(ConnectionTest, RemoteAddressOutlivesClose) {
  EXPECT_EQ(connection_->GetRemoteAddress(), "127.0.0.1");
  connection_->Close();
  EXPECT_EQ(connection_->GetRemoteAddress(), "127.0.0.1");
}

}  // namespace
}  // namespace crcp
