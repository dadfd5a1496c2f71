#include "crcp/crcp_client.h"

#include <asio/ip/udp.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include "crcp/auth_manager.h"
#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/heart_beat.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "crcp/session.h"
#include "tests/crcp/fakes.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using test::Frame;
using test::Inbox;
using testing_support::LogCapture;

struct Established {
  std::shared_ptr<Session> session;
};

// Drives one handshake over a socket pair, the test playing the receiver by hand.
class CrcpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(27440, 27449);
    Config::Instance().SetBindAddress("127.0.0.1");
    Config::Instance().SetUuid("client-uuid");
    auth_->SetAuthKey("ABC123");
    registry_->AddService(video_);
    registry_->AddService(audio_);
    auto inbox = established_;
    client_ = std::make_shared<CrcpClient>(
        [inbox](std::shared_ptr<Session> s) { inbox->Push({std::move(s)}); }, registry_, auth_);
    pair_ = test::MakeSocketPair();
    auto connection = std::make_shared<Connection>(pair_.ours);
    auto client = client_;
    Runtime::PostTask("test establish", [client, connection] { client->Establish(connection); });
    LogCapture::Get().Clear();
  }
  void TearDown() override {
    if (auto got = established_->Pop(0ms); got && got->session) got->session->Close();
    test::DrainTasks();
  }

  json PeerRead() {
    auto frame = test::ReadOneFrame(*pair_.peer);
    return frame.ok ? json::parse(frame.body) : json();
  }
  void PeerSend(uint16_t id, const json& content) {
    json body = {{"id", id}, {"content", content}};
    asio::write(*pair_.peer, asio::buffer(Frame(++peer_seq_, body.dump())));
  }
  static json GoodAnswer() {
    return {{"uuid", "peer-uuid"},
            {"heartBeatPort", 7390},
            {"services", {"video_mirror.c", "audio_mirror.c", "ghost.c"}},
            {"version_name", "R.5.5.8.41"}};
  }

  uint32_t peer_seq_ = 0;
  test::SocketPair pair_;
  std::shared_ptr<ServiceManager> registry_ = std::make_shared<ServiceManager>();
  std::shared_ptr<AuthManager> auth_ = std::make_shared<AuthManager>();
  std::shared_ptr<test::FakeService> video_ =
      std::make_shared<test::FakeService>("video_mirror.c", "video_mirror.s", "{\"v\":1}");
  std::shared_ptr<test::FakeService> audio_ =
      std::make_shared<test::FakeService>("audio_mirror.c", "audio_mirror.s", "{\"a\":1}");
  std::shared_ptr<Inbox<Established>> established_ = std::make_shared<Inbox<Established>>();
  std::shared_ptr<CrcpClient> client_;
};

TEST_F(CrcpClientTest, FullHandshakeLaunchesByPeerNamesAndStopsOmittedServices) {
  json request = PeerRead();
  ASSERT_EQ(request["id"], 0);
  const json& shake = request["content"];
  EXPECT_EQ(shake.size(), 6u);
  EXPECT_EQ(shake["version_name"], "R.5.5.8.41");
  EXPECT_EQ(shake["version"], 0);
  EXPECT_EQ(shake["uuid"], "client-uuid");
  EXPECT_EQ(shake["authKey"], "ABC123");
  EXPECT_EQ(shake["key"], "tolv");
  EXPECT_GE(shake["heartBeatPort"].get<int>(), 27440);
  EXPECT_LE(shake["heartBeatPort"].get<int>(), 27449);

  PeerSend(100, GoodAnswer());
  json launch = PeerRead();
  ASSERT_EQ(launch["id"], 4);
  EXPECT_EQ(launch["content"], (json{{"audio_mirror.s", "{\"a\":1}"}, {"video_mirror.s", "{\"v\":1}"}}));

  PeerSend(101, json{{"video_mirror.c", "{\"dataPort\":1}"}});
  auto got = established_->Pop();
  ASSERT_TRUE(got);
  ASSERT_TRUE(got->session);
  EXPECT_EQ(got->session->GetId(), "peer-uuid");
  EXPECT_EQ(got->session->GetServices(), (std::list<std::string>{"video_mirror.c"}));
  EXPECT_EQ(video_->Calls(),
            (std::vector<std::string>{"Init:peer-uuid", "Setup:peer-uuid:{\"dataPort\":1}"}));
  EXPECT_EQ(audio_->Calls(), (std::vector<std::string>{"Init:peer-uuid", "Disconnect:peer-uuid"}));
  established_->Push(std::move(*got));  // closed by TearDown
}

TEST_F(CrcpClientTest, NullLaunchAnswerSucceedsWithNoServicesAndStopsTheLaunched) {
  PeerRead();
  json answer = GoodAnswer();
  answer.erase("version_name");  // absent: accepted
  PeerSend(100, answer);
  PeerRead();
  PeerSend(101, nullptr);
  auto got = established_->Pop();
  ASSERT_TRUE(got && got->session);
  EXPECT_TRUE(got->session->GetServices().empty());
  EXPECT_EQ(video_->Count("Disconnect:peer-uuid"), 1u);
  EXPECT_EQ(audio_->Count("Disconnect:peer-uuid"), 1u);
  established_->Push(std::move(*got));
}

struct BadAnswer {
  const char* what;
  uint16_t id;
  json content;
};

class CrcpClientBadAnswers : public CrcpClientTest,
                             public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(CrcpClientBadAnswers, FailTheHandshakeWithoutLaunching) {
  const auto& c = GetParam();
  PeerRead();
  PeerSend(c.id, c.content);
  auto got = established_->Pop();
  ASSERT_TRUE(got) << c.what;
  EXPECT_FALSE(got->session) << c.what;
  EXPECT_TRUE(video_->Calls().empty()) << c.what;
  EXPECT_FALSE(PeerRead().is_object()) << c.what;  // nothing more sent, connection closed
}

json Without(const char* member) {
  json a = {{"uuid", "peer-uuid"}, {"heartBeatPort", 7390}, {"services", {"video_mirror.c"}}};
  a.erase(member);
  return a;
}
json With(const char* member, json value) {
  json a = {{"uuid", "peer-uuid"}, {"heartBeatPort", 7390}, {"services", {"video_mirror.c"}}};
  a[member] = std::move(value);
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CrcpClientBadAnswers,
    ::testing::Values(BadAnswer{"wrong id", 101, With("uuid", "x")},
                      BadAnswer{"wire error id", 60000, json{{"code", -3}}},
                      BadAnswer{"not an object", 100, json::array({1, 2})},
                      BadAnswer{"null", 100, nullptr},
                      BadAnswer{"no uuid", 100, Without("uuid")},
                      BadAnswer{"empty uuid", 100, With("uuid", "")},
                      BadAnswer{"uuid a number", 100, With("uuid", 5)},
                      BadAnswer{"no port", 100, Without("heartBeatPort")},
                      BadAnswer{"port a string", 100, With("heartBeatPort", "7390")},
                      BadAnswer{"port too large", 100, With("heartBeatPort", 65536)},
                      BadAnswer{"port too large double", 100, With("heartBeatPort", 65536.0)},
                      BadAnswer{"port far too large", 100, With("heartBeatPort", 1e300)},
                      BadAnswer{"port negative", 100, With("heartBeatPort", -1)},
                      BadAnswer{"port negative double", 100, With("heartBeatPort", -1.0)},
                      BadAnswer{"port fractional", 100, With("heartBeatPort", 7390.5)},
                      BadAnswer{"port a boolean", 100, With("heartBeatPort", true)},
                      BadAnswer{"no services", 100, Without("services")},
                      BadAnswer{"services not an array", 100, With("services", "video_mirror.c")},
                      BadAnswer{"service not a string", 100, With("services", json::array({1}))},
                      BadAnswer{"version_name a number", 100, With("version_name", 5)}));

// "heartBeatPort" is any JSON number with a whole value in 0..65535, written as an
// integer or, by a peer whose JSON library keeps numbers as doubles, as 7390.0.
class CrcpClientPorts : public CrcpClientTest, public ::testing::WithParamInterface<json> {};

TEST_P(CrcpClientPorts, WholeNumbersAreAccepted) {
  PeerRead();
  json answer = GoodAnswer();
  answer["heartBeatPort"] = GetParam();
  PeerSend(100, answer);
  EXPECT_EQ(PeerRead()["id"], 4) << GetParam().dump();  // the launch request follows
}

INSTANTIATE_TEST_SUITE_P(Table, CrcpClientPorts,
                         ::testing::Values(json(7390), json(7390u), json(7390.0), json(0),
                                           json(0.0), json(65535), json(65535.0)));

TEST_F(CrcpClientTest, BadLaunchAnswerFailsAndStopsEveryLaunchedService) {
  PeerRead();
  PeerSend(100, GoodAnswer());
  PeerRead();
  // video is set up before the bad member is met (members in name order: "audio..."
  // would come first, so the bad one is named to sort last).
  PeerSend(101, json{{"video_mirror.c", "{}"}, {"zz", 5}});
  auto got = established_->Pop();
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->session);
  test::DrainTasks();
  test::DrainTasks();
  EXPECT_EQ(video_->Count("Disconnect:peer-uuid"), 1u);  // set up, stopped with the session
  EXPECT_EQ(audio_->Count("Disconnect:peer-uuid"), 1u);  // launched only, stopped at once
}

// A service whose slots throw: the handshake fails cleanly instead of the process.
class ThrowingService : public test::FakeService {
 public:
  ThrowingService() : FakeService("ghost.c", "ghost.s") {}
  std::string InitConnection(const std::string&, const std::string&) override {
    throw std::runtime_error("init failed");
  }
  void Disconnect(const std::string&) override { throw std::runtime_error("stop failed"); }
};

TEST_F(CrcpClientTest, ThrowingServiceFailsTheHandshakeAndTheOthersAreStopped) {
  registry_->AddService(std::make_shared<ThrowingService>());
  PeerRead();
  PeerSend(100, GoodAnswer());  // lists video, audio, then ghost
  auto got = established_->Pop();
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->session);
  EXPECT_EQ(video_->Count("Disconnect:peer-uuid"), 1u);
  EXPECT_EQ(audio_->Count("Disconnect:peer-uuid"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("OnShakeHand: fail to launch services, init failed"), 1u);
}

TEST_F(CrcpClientTest, SilenceAfterTheLaunchTimesOutAndStopsTheLaunched) {
  PeerRead();
  PeerSend(100, GoodAnswer());
  PeerRead();
  auto got = established_->Pop(8000ms);
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->session);
  EXPECT_EQ(video_->Count("Disconnect:peer-uuid"), 1u);
  EXPECT_EQ(audio_->Count("Disconnect:peer-uuid"), 1u);
  // A late answer finds nothing to act on.
  PeerSend(101, json::object());
  test::DrainTasks();
}

TEST_F(CrcpClientTest, CancelAfterTheLaunchReportsNothingAndStopsTheLaunched) {
  PeerRead();
  PeerSend(100, GoodAnswer());
  PeerRead();
  client_->Cancel();
  ASSERT_TRUE(video_->Events().Pop());  // Init
  auto stop = video_->Events().Pop();
  ASSERT_TRUE(stop);
  EXPECT_EQ(*stop, "Disconnect:peer-uuid");
  // The connection went with the session: a late answer is never read.
  EXPECT_FALSE(PeerRead().is_object());
  EXPECT_FALSE(established_->Pop(300ms));
  EXPECT_EQ(video_->Count("Setup:peer-uuid:{}"), 0u);
}

TEST(CrcpClientHeartBeatTest, NoFreeHeartBeatPortFailsTheHandshake) {
  asio::io_context context;
  asio::ip::udp::socket occupied(context, {asio::ip::make_address("127.0.0.1"), 0});
  const uint16_t port = occupied.local_endpoint().port();
  Config::Instance().SetBindAddress("127.0.0.1");
  Config::Instance().SetPorts(port, port);
  auto established = std::make_shared<Inbox<Established>>();
  auto client = std::make_shared<CrcpClient>(
      [established](std::shared_ptr<Session> s) { established->Push({std::move(s)}); },
      std::make_shared<ServiceManager>(), std::make_shared<AuthManager>());
  auto pair = test::MakeSocketPair();
  auto connection = std::make_shared<Connection>(pair.ours);
  Runtime::PostTask("test establish", [client, connection] { client->Establish(connection); });
  auto got = established->Pop();
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->session);
  // Nothing was sent, and the connection is closed.
  EXPECT_FALSE(test::ReadOneFrame(*pair.peer, 1000).ok);
}

}  // namespace
}  // namespace crcp
