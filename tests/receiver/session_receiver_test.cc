#include "tests/receiver/session_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

// The receiver is driven here by a client made of plain sockets and bytes put together
// by hand, so that these tests check the receiver against the layout and not against
// its own encoders.
namespace receiver {
namespace {

using nlohmann::json;
constexpr Milliseconds kWait{3000};

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// 64-byte header: seq, len, timestamp (8), version, invert, 40 reserved; then the body.
std::vector<uint8_t> HandPacket(uint32_t seq, const std::string& body, uint32_t version = 5,
                                uint32_t invert = 0, bool use_invert = false,
                                uint32_t len_override = 0, bool use_len = false) {
  std::vector<uint8_t> out;
  PutBe32(out, seq);
  PutBe32(out, use_len ? len_override : static_cast<uint32_t>(body.size()));
  PutBe32(out, 0);
  PutBe32(out, 0x00012345);  // timestamp
  PutBe32(out, version);
  PutBe32(out, use_invert ? invert : ~seq);
  out.resize(64, 0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::string Body(uint16_t id, const json& content) {
  return json{{"id", id}, {"content", content}}.dump();
}

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct HandMessage {
  std::vector<uint8_t> header;
  std::string body;
  json parsed;
};

void SetReceiveTimeout(int fd, Milliseconds timeout) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

// A control-connection client of plain POSIX calls; every read is bounded.
class HandClient {
 public:
  explicit HandClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    SetReceiveTimeout(fd_, kWait);
    sockaddr_in addr = Loopback(port);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  }
  ~HandClient() { Close(); }

  bool connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Send(const std::vector<uint8_t>& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  bool SendMessage(uint16_t id, const json& content) {
    return Send(HandPacket(++seq_, Body(id, content)));
  }

  // Reads exactly n bytes; false on time-out, error or end of stream.
  bool ReadExact(size_t n, std::vector<uint8_t>& out) {
    out.resize(n);
    size_t got = 0;
    while (got < n) {
      ssize_t r = ::recv(fd_, out.data() + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<size_t>(r);
    }
    return true;
  }

  std::optional<HandMessage> Read() {
    HandMessage m;
    if (!ReadExact(64, m.header)) return std::nullopt;
    std::vector<uint8_t> body;
    if (!ReadExact(Be32(m.header.data() + 4), body)) return std::nullopt;
    m.body.assign(body.begin(), body.end());
    m.parsed = json::parse(m.body, nullptr, false);
    return m;
  }

  // True when the receiver closed the connection (end of stream before the time-out).
  bool ReadEndOfStream() {
    uint8_t byte;
    for (;;) {
      ssize_t r = ::recv(fd_, &byte, 1, 0);
      if (r == 0) return true;
      if (r < 0) return errno == ECONNRESET;
    }
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  uint32_t seq_ = 0;
};

// The client's heart-beat socket.
class HandUdp {
 public:
  HandUdp() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    SetReceiveTimeout(fd_, kWait);
    sockaddr_in addr = Loopback(0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~HandUdp() { ::close(fd_); }
  uint16_t port() const { return port_; }

  std::vector<uint8_t> Receive() {
    std::vector<uint8_t> buffer(64);
    ssize_t r = ::recv(fd_, buffer.data(), buffer.size(), 0);
    buffer.resize(r > 0 ? static_cast<size_t>(r) : 0);
    return buffer;
  }
  void SendTo(uint16_t port, const std::vector<uint8_t>& bytes) {
    sockaddr_in addr = Loopback(port);
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&addr),
             sizeof(addr));
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

json HandshakeRequest(uint16_t heart_beat_port) {
  return {{"version_name", "R.5.5.8.41"}, {"version", 0},       {"uuid", "client-1"},
          {"heartBeatPort", heart_beat_port}, {"authKey", "ABC123"}, {"key", "tolv"}};
}

class RecordingService : public ServiceHandler {
 public:
  explicit RecordingService(std::optional<std::string> answer) : answer_(std::move(answer)) {}
  std::optional<std::string> OnLaunch(int, const std::string& init_context) override {
    std::lock_guard<std::mutex> lock(mutex_);
    inits_.push_back(init_context);
    return answer_;
  }
  void OnServiceMessage(int, const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(message);
  }
  void OnConnectionClosed(int) override { ++closed_; }

  std::vector<std::string> inits() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inits_;
  }
  std::vector<std::string> messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  int closed() const { return closed_; }

 private:
  std::optional<std::string> answer_;
  std::mutex mutex_;
  std::vector<std::string> inits_;
  std::vector<std::string> messages_;
  std::atomic<int> closed_{0};
};

class SessionReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionReceiver::Options options;
    options.uuid = "display-42";
    options.version_name = "R.9.1.2.3";
    receiver_ = std::make_unique<SessionReceiver>(options);
    ASSERT_TRUE(receiver_->Start());
    ASSERT_NE(receiver_->Port(), 0);
    ASSERT_NE(receiver_->HeartBeatPort(), 0);
  }

  std::unique_ptr<HandClient> Connect() {
    auto client = std::make_unique<HandClient>(receiver_->Port());
    EXPECT_TRUE(client->connected());
    EXPECT_TRUE(receiver_->WaitForConnection(kWait));
    return client;
  }

  std::unique_ptr<SessionReceiver> receiver_;
  HandUdp udp_;
};

TEST_F(SessionReceiverTest, AnswersTheHandshakeWithAWellFramedDefaultAnswer) {
  receiver_->OfferService({"video_mirror.c", "video_mirror.s", "{\"cmdPort\":1}", nullptr});
  receiver_->OfferService({"device_info_offer", "device_info_offer", "{}", nullptr});
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));

  auto request = receiver_->WaitForMessage(0, kWait);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->header.sequence_num, 1u);
  EXPECT_EQ(request->content, HandshakeRequest(udp_.port()));

  auto answer = client->Read();
  ASSERT_TRUE(answer);
  const uint8_t* h = answer->header.data();
  EXPECT_EQ(Be32(h + 0), 1u);                                   // first message: seq 1
  EXPECT_EQ(Be32(h + 4), answer->body.size());                  // len
  EXPECT_NE(Be32(h + 8) | Be32(h + 12), 0u);                    // a timestamp
  EXPECT_EQ(Be32(h + 16), 5u);                                  // version
  EXPECT_EQ(Be32(h + 20), 0xFFFFFFFEu);                         // ~1
  EXPECT_EQ(std::vector<uint8_t>(h + 24, h + 64), std::vector<uint8_t>(40, 0));
  json expected_content = {{"heartBeatPort", receiver_->HeartBeatPort()},
                           {"services", {"video_mirror.c", "device_info_offer"}},
                           {"uuid", "display-42"},
                           {"version_name", "R.9.1.2.3"}};
  EXPECT_EQ(answer->body, json({{"content", expected_content}, {"id", 100}}).dump());
  EXPECT_EQ(receiver_->BuildHandshakeAnswer(), expected_content);
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

TEST_F(SessionReceiverTest, HandshakeScriptsAlterTheAnswer) {
  struct Case {
    const char* name;
    AnswerScript script;
    uint16_t id;
    std::function<void(const json&)> check;
  };
  AnswerScript omit_uuid;
  omit_uuid.omit = {"uuid"};
  AnswerScript bad_port;
  bad_port.set = {{"heartBeatPort", "7386"}};
  AnswerScript no_services;
  no_services.omit = {"services", "version_name"};
  AnswerScript wrong_id;
  wrong_id.answer_id = 101;
  AnswerScript whole;
  whole.content = json::array({1, 2});
  const Case cases[] = {
      {"omit uuid", omit_uuid, 100, [](const json& c) { EXPECT_FALSE(c.contains("uuid")); }},
      {"string port", bad_port, 100,
       [](const json& c) { EXPECT_EQ(c["heartBeatPort"], "7386"); }},
      {"no services", no_services, 100,
       [](const json& c) {
         EXPECT_FALSE(c.contains("services"));
         EXPECT_FALSE(c.contains("version_name"));
         EXPECT_EQ(c["uuid"], "display-42");
       }},
      {"wrong id", wrong_id, 101, [](const json& c) { EXPECT_TRUE(c.contains("uuid")); }},
      {"whole content", whole, 100, [](const json& c) { EXPECT_EQ(c, json::array({1, 2})); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    receiver_->SetHandshakeScript(c.script);
    HandClient client(receiver_->Port());
    ASSERT_TRUE(client.SendMessage(0, HandshakeRequest(udp_.port())));
    auto answer = client.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->parsed["id"], c.id);
    c.check(answer->parsed["content"]);
  }
}

TEST_F(SessionReceiverTest, SilentAndClosingHandshakeScripts) {
  AnswerScript silent;
  silent.reply = Reply::kSilent;
  receiver_->SetHandshakeScript(silent);
  {
    auto client = Connect();
    ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));
    ASSERT_TRUE(client->SendMessage(1, nullptr));
    // Nothing was sent for the handshake: the hello answer is the first packet.
    auto first = client->Read();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->parsed["id"], 103);
    EXPECT_EQ(Be32(first->header.data()), 1u);
  }
  AnswerScript close;
  close.reply = Reply::kClose;
  receiver_->SetHandshakeScript(close);
  HandClient client(receiver_->Port());
  ASSERT_TRUE(client.SendMessage(0, HandshakeRequest(udp_.port())));
  EXPECT_TRUE(client.ReadEndOfStream());
  EXPECT_TRUE(receiver_->WaitForClosed(kWait));
  EXPECT_EQ(receiver_->ConnectionCount(), 2);
}

TEST_F(SessionReceiverTest, LaunchAnswerIsKeyedByTheClientsServiceIds) {
  auto video = std::make_shared<RecordingService>(std::string("{\"cmdPort\":7000}"));
  auto declining = std::make_shared<RecordingService>(std::nullopt);
  receiver_->OfferService({"video_mirror.c", "video_mirror.s", "", video});
  receiver_->OfferService({"audio_mirror.c", "audio_mirror.s", "", declining});
  receiver_->OfferService({"device_info_offer", "device_info_offer", "{\"d\":1}", nullptr});
  receiver_->OfferService({"remote_input.r", "remote_input.s", "{}", nullptr});  // not asked
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));
  ASSERT_TRUE(client->Read());
  json launch = {{"video_mirror.s", "{\"version\":1}"},
                 {"audio_mirror.s", "{\"version\":1}"},
                 {"device_info_offer", "{}"},
                 {"unknown.s", "x"}};
  ASSERT_TRUE(client->SendMessage(4, launch));
  auto answer = client->Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(Be32(answer->header.data()), 2u);
  EXPECT_EQ(answer->parsed["id"], 101);
  EXPECT_EQ(answer->parsed["content"],
            json({{"video_mirror.c", "{\"cmdPort\":7000}"}, {"device_info_offer", "{\"d\":1}"}}));
  EXPECT_EQ(video->inits(), std::vector<std::string>{"{\"version\":1}"});
  EXPECT_EQ(declining->inits().size(), 1u);
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());

  // The launched (and only the launched) service hears of the connection's end.
  client->Close();
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  EXPECT_EQ(video->closed(), 1);
  EXPECT_EQ(declining->closed(), 0);
}

TEST_F(SessionReceiverTest, LaunchScriptCanOmitAServiceOrStaySilent) {
  receiver_->OfferService({"video_mirror.c", "video_mirror.s", "v", nullptr});
  receiver_->OfferService({"audio_mirror.c", "audio_mirror.s", "a", nullptr});
  AnswerScript omit;
  omit.omit = {"audio_mirror.c"};
  receiver_->SetLaunchScript(omit);
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));
  ASSERT_TRUE(client->Read());
  ASSERT_TRUE(client->SendMessage(4, {{"video_mirror.s", "x"}, {"audio_mirror.s", "y"}}));
  auto answer = client->Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->parsed["content"], json({{"video_mirror.c", "v"}}));

  AnswerScript silent;
  silent.reply = Reply::kSilent;
  receiver_->SetLaunchScript(silent);
  ASSERT_TRUE(client->SendMessage(4, {{"video_mirror.s", "x"}}));
  ASSERT_TRUE(client->SendMessage(1, nullptr));
  auto next = client->Read();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->parsed["id"], 103);
  EXPECT_EQ(Be32(next->header.data()), 3u);
}

TEST_F(SessionReceiverTest, FramingFaultsAreRecordedAndCloseTheConnection) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* what;
  };
  const std::string hello = Body(1, nullptr);
  const Case cases[] = {
      {"first sequence 2", HandPacket(2, hello), "out-of-sequence"},
      {"not inverted", HandPacket(1, hello, 5, 1, true), "illegal header"},
      {"length beyond bound", HandPacket(1, "", 5, 0, false, 0x7FFFFFFF, true), "beyond"},
      {"not JSON", HandPacket(1, "{\"id\":"), "not JSON"},
      {"string id", HandPacket(1, R"({"id":"1","content":null})"), "\"id\""},
  };
  size_t errors = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandClient client(receiver_->Port());
    ASSERT_TRUE(client.Send(c.bytes));
    EXPECT_TRUE(client.ReadEndOfStream());
    auto recorded = receiver_->ProtocolErrors();
    ASSERT_EQ(recorded.size(), ++errors);
    EXPECT_NE(recorded.back().what.find(c.what), std::string::npos) << recorded.back().what;
  }
  EXPECT_TRUE(receiver_->Messages().empty());
}

TEST_F(SessionReceiverTest, FaultsInTheHandshakeRequestAreRecordedButAnswered) {
  struct Case {
    const char* name;
    std::function<void(json&)> spoil;
    const char* what;
  };
  const Case cases[] = {
      {"no uuid", [](json& r) { r.erase("uuid"); }, "\"uuid\""},
      {"string port", [](json& r) { r["heartBeatPort"] = "7386"; }, "\"heartBeatPort\""},
      {"port beyond 16 bits", [](json& r) { r["heartBeatPort"] = 70000; }, "\"heartBeatPort\""},
      {"other key", [](json& r) { r["key"] = "TOLV"; }, "\"key\""},
      {"version 1", [](json& r) { r["version"] = 1; }, "\"version\""},
      {"extra member", [](json& r) { r["extra"] = true; }, "unexpected member \"extra\""},
  };
  size_t errors = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandClient client(receiver_->Port());
    json request = HandshakeRequest(udp_.port());
    c.spoil(request);
    ASSERT_TRUE(client.SendMessage(0, request));
    auto answer = client.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->parsed["id"], 100);
    auto recorded = receiver_->ProtocolErrors();
    ASSERT_EQ(recorded.size(), ++errors);
    EXPECT_NE(recorded.back().what.find(c.what), std::string::npos) << recorded.back().what;
  }
}

TEST_F(SessionReceiverTest, OtherVersionHeadersFollowTheirOwnRule) {
  auto client = Connect();
  // Version 7: any invert value, as long as timestamp, sequence and length are set.
  ASSERT_TRUE(client->Send(HandPacket(1, Body(1, nullptr), 7, 0xDEADBEEF, true)));
  auto answer = client->Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->parsed["id"], 103);
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

TEST_F(SessionReceiverTest, AnswersHelloAndSendsItsOwn) {
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(1, nullptr));
  auto answer = client->Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->body, R"({"content":null,"id":103})");

  receiver_->SetAnswerHello(false);
  ASSERT_TRUE(client->SendMessage(1, nullptr));
  ASSERT_TRUE(receiver_->WaitForMessage(1, kWait, 1));
  ASSERT_TRUE(receiver_->SendHello());
  auto hello = client->Read();
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->body, R"({"content":null,"id":1})");  // not a 103 for the second hello
  EXPECT_EQ(Be32(hello->header.data()), 2u);
  ASSERT_TRUE(client->SendMessage(103, nullptr));
  EXPECT_TRUE(receiver_->WaitForMessage(103, kWait));
}

TEST_F(SessionReceiverTest, ServiceMessagesBothWays) {
  auto input = std::make_shared<RecordingService>(std::string("{}"));
  receiver_->OfferService({"remote_input.r", "remote_input.s", "", input});
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(202, {{"serviceId", "remote_input.s"}, {"message", "hi"}}));
  // Addressed by the client's id (wrong side's name): not delivered to the handler.
  ASSERT_TRUE(client->SendMessage(202, {{"serviceId", "remote_input.r"}, {"message", "no"}}));
  // A non-string payload is a format fault, but the connection stays up.
  ASSERT_TRUE(client->SendMessage(202, {{"serviceId", "remote_input.s"}, {"message", {1}}}));
  ASSERT_TRUE(receiver_->WaitForMessage(202, kWait, 2));
  EXPECT_EQ(input->messages(), std::vector<std::string>{"hi"});
  ASSERT_EQ(receiver_->ProtocolErrors().size(), 1u);
  EXPECT_TRUE(receiver_->IsConnected());

  ASSERT_TRUE(receiver_->SendServiceMessage("remote_input.r", "{\"id\":100}"));
  auto sent = client->Read();
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->body,
            R"({"content":{"message":"{\"id\":100}","serviceId":"remote_input.r"},"id":202})");
}

// Answers every service message from inside its callback, on the receiver's io thread.
class EchoService : public ServiceHandler {
 public:
  explicit EchoService(SessionReceiver* receiver) : receiver_(receiver) {}
  std::optional<std::string> OnLaunch(int, const std::string&) override { return "{}"; }
  void OnServiceMessage(int connection, const std::string& message) override {
    receiver_->SendServiceMessage("device_info_offer", "echo " + message, connection);
  }

 private:
  SessionReceiver* receiver_;
};

TEST_F(SessionReceiverTest, HandlersAnswerOnTheirOwnConnection) {
  receiver_->OfferService(
      {"device_info_offer", "device_info_offer", "", std::make_shared<EchoService>(receiver_.get())});
  auto first = Connect();
  HandClient second(receiver_->Port());
  ASSERT_TRUE(second.connected());
  ASSERT_TRUE(first->SendMessage(202, {{"serviceId", "device_info_offer"}, {"message", "one"}}));
  auto echo = first->Read();
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->parsed["content"]["message"], "echo one");
  ASSERT_TRUE(receiver_->WaitForConnection(kWait));

  ASSERT_TRUE(second.SendMessage(202, {{"serviceId", "device_info_offer"}, {"message", "two"}}));
  auto echo_two = second.Read();
  ASSERT_TRUE(echo_two);
  EXPECT_EQ(echo_two->parsed["content"]["message"], "echo two");
  EXPECT_EQ(Be32(echo_two->header.data()), 1u);  // numbered per connection

  ASSERT_TRUE(receiver_->WaitForMessage(202, kWait, 1));  // recorded once handled
  auto messages = receiver_->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].connection, 1);
  EXPECT_EQ(messages[1].connection, 2);

  // The first connection stays addressable after the second arrived.
  ASSERT_TRUE(receiver_->SendHello(1));
  auto hello = first->Read();
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->parsed["id"], 1);
  receiver_->CloseConnection(1);
  EXPECT_TRUE(first->ReadEndOfStream());
  EXPECT_TRUE(receiver_->WaitForClosed(kWait, 1));
  EXPECT_TRUE(receiver_->IsConnected());  // the newest, the second, is still open
}

TEST_F(SessionReceiverTest, HeartBeatsBothWays) {
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));
  ASSERT_TRUE(client->Read());

  // The receiver beats to the handshake's "heartBeatPort": 1, 2, ... with the version
  // written little-endian.
  for (uint8_t seq = 1; seq <= 2; ++seq) {
    auto datagram = udp_.Receive();
    ASSERT_EQ(datagram.size(), 16u);
    EXPECT_EQ(datagram, std::vector<uint8_t>({0, 0, 0, 0, 0, 0, 0, seq, 0xFF, 0xFF, 0xFF,
                                              static_cast<uint8_t>(~seq), 5, 0, 0, 0}));
  }

  // The client's datagrams are recorded, good or not.
  udp_.SendTo(receiver_->HeartBeatPort(), {0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 5,
                                           0, 0, 0});
  udp_.SendTo(receiver_->HeartBeatPort(), std::vector<uint8_t>(15, 0));
  udp_.SendTo(receiver_->HeartBeatPort(), {0, 0, 0, 0, 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFD, 0,
                                           0, 0, 5});  // big-endian version: illegal
  udp_.SendTo(receiver_->HeartBeatPort(), {0, 0, 0, 0, 0, 0, 0, 3, 0xFF, 0xFF, 0xFF, 0xFC, 5,
                                           0, 0, 0});
  ASSERT_TRUE(receiver_->WaitForHeartBeats(2, kWait));
  auto beats = receiver_->HeartBeats();
  ASSERT_EQ(beats.size(), 4u);
  EXPECT_TRUE(beats[0].legal);
  EXPECT_EQ(beats[0].beat.seq_num, 1u);
  EXPECT_EQ(beats[0].from_port, udp_.port());
  EXPECT_FALSE(beats[1].decoded);
  EXPECT_TRUE(beats[2].decoded);
  EXPECT_FALSE(beats[2].legal);
  EXPECT_TRUE(beats[3].legal);

  // Raw datagrams go to the same target.
  ASSERT_TRUE(receiver_->SendHeartBeatDatagram({1, 2, 3}));
  std::vector<uint8_t> raw;
  for (int i = 0; i < 50 && raw.size() != 3; ++i) raw = udp_.Receive();
  EXPECT_EQ(raw, std::vector<uint8_t>({1, 2, 3}));
  EXPECT_GE(receiver_->HeartBeatsSent(), 2u);
}

TEST_F(SessionReceiverTest, HeartBeatSequenceCanJump) {
  receiver_->SetNextHeartBeat(300);
  auto client = Connect();
  ASSERT_TRUE(client->SendMessage(0, HandshakeRequest(udp_.port())));
  ASSERT_TRUE(client->Read());
  auto datagram = udp_.Receive();
  ASSERT_EQ(datagram.size(), 16u);
  EXPECT_EQ(Be32(datagram.data() + 4), 300u);
}

TEST_F(SessionReceiverTest, RawBytesSequenceAndClose) {
  auto client = Connect();
  receiver_->SetNextSequence(7);
  ASSERT_TRUE(receiver_->SendMessage(999, {{"x", 1}}));
  auto seven = client->Read();
  ASSERT_TRUE(seven);
  EXPECT_EQ(Be32(seven->header.data()), 7u);
  EXPECT_EQ(Be32(seven->header.data() + 20), ~7u);

  ASSERT_TRUE(receiver_->SendRaw({0xDE, 0xAD}));
  std::vector<uint8_t> raw;
  ASSERT_TRUE(client->ReadExact(2, raw));
  EXPECT_EQ(raw, std::vector<uint8_t>({0xDE, 0xAD}));

  receiver_->CloseConnection();
  EXPECT_TRUE(client->ReadEndOfStream());
  EXPECT_TRUE(receiver_->WaitForClosed(kWait));
  EXPECT_FALSE(receiver_->IsConnected());
  EXPECT_FALSE(receiver_->SendMessage(1, nullptr));
}

TEST_F(SessionReceiverTest, StopWakesWaitersAndRefusesCalls) {
  auto client = Connect();
  receiver_->Stop();
  EXPECT_TRUE(client->ReadEndOfStream());
  EXPECT_FALSE(receiver_->WaitForMessage(0, kWait));  // returns at once after Stop
  EXPECT_FALSE(receiver_->SendMessage(1, nullptr));
  receiver_->Stop();  // idempotent
}

TEST(SessionReceiverStart, FailsCleanlyOnATakenPort) {
  SessionReceiver first;
  ASSERT_TRUE(first.Start());
  SessionReceiver::Options options;
  options.port = first.Port();
  SessionReceiver second(options);
  EXPECT_FALSE(second.Start());
  EXPECT_FALSE(second.WaitForConnection(Milliseconds(10)));
}

}  // namespace
}  // namespace receiver
