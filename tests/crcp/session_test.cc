#include "crcp/session.h"

#include <asio/ip/udp.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/heart_beat.h"
#include "crcp/service_manager.h"
#include "tests/crcp/fakes.h"
#include "tests/crcp/loopback.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using test::Frame;
using testing_support::LogCapture;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(27430, 27439);
    Config::Instance().SetBindAddress("127.0.0.1");
    Config::Instance().SetHeartBeatTimeout(300);
    pair_ = test::MakeSocketPair();
    registry_->AddService(video_);
    registry_->AddService(audio_);
    heart_beat_ = std::make_shared<HeartBeat>();
    session_ = Session::Create(registry_, std::make_shared<Connection>(pair_.ours), heart_beat_);
    session_->RegisterHandlers("peer-1");
    session_->SetListener(listener_);
    session_->Start();
    LogCapture::Get().Clear();
  }
  void TearDown() override {
    if (session_) session_->Close();
  }

  void PeerSend(uint16_t id, const json& content) {
    json body = {{"id", id}, {"content", content}};
    asio::write(*pair_.peer, asio::buffer(Frame(++peer_seq_, body.dump())));
  }
  json PeerRead(int timeout_ms = 5000) {
    auto frame = test::ReadOneFrame(*pair_.peer, timeout_ms);
    return frame.ok ? json::parse(frame.body) : json();
  }

  test::SocketPair pair_;
  uint32_t peer_seq_ = 0;
  std::shared_ptr<ServiceManager> registry_ = std::make_shared<ServiceManager>();
  std::shared_ptr<test::FakeService> video_ =
      std::make_shared<test::FakeService>("video_mirror.c", "video_mirror.s");
  std::shared_ptr<test::FakeService> audio_ =
      std::make_shared<test::FakeService>("audio_mirror.c", "audio_mirror.s");
  std::shared_ptr<test::RecordingSessionListener> listener_ =
      std::make_shared<test::RecordingSessionListener>();
  std::shared_ptr<HeartBeat> heart_beat_;
  std::shared_ptr<Session> session_;
};

TEST_F(SessionTest, AnswersHelloAndKeepsReadingAfterUnknownIds) {
  PeerSend(77, nullptr);
  PeerSend(60000, json{{"code", "not a number"}});  // a wire 60000 is just unknown
  PeerSend(1, nullptr);
  json answer = PeerRead();
  EXPECT_EQ(answer, (json{{"id", 103}, {"content", nullptr}}));
  EXPECT_EQ(LogCapture::Get().Count("[peer-1] Unknown message, id 77"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("[peer-1] Unknown message, id 60000"), 1u);
  EXPECT_FALSE(listener_->events.Pop(200ms));
}

TEST_F(SessionTest, ServiceMessagesReachTheirServiceAndBadOnesAreDropped) {
  PeerSend(202, json{{"serviceId", "video_mirror.c"}, {"message", json{{"a", 1}}}});
  PeerSend(202, json{{"serviceId", "video_mirror.c"}});
  PeerSend(202, json::array({1}));
  PeerSend(202, json{{"serviceId", "ghost"}, {"message", "x"}});
  PeerSend(202, json{{"serviceId", "video_mirror.c"}, {"message", "{\"cmd\":1}"}});
  auto got = video_->Events().Pop();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, "Msg:peer-1:{\"cmd\":1}");
  EXPECT_EQ(LogCapture::Get().Count("[peer-1] DeliverMessage: bad message content"), 3u);
  EXPECT_EQ(LogCapture::Get().Count("No service: ghost found"), 1u);
  EXPECT_EQ(video_->Calls().size(), 1u);
}

TEST_F(SessionTest, ServiceMessagesGoOutFramedAndInOrder) {
  session_->SendServiceMessage("remote_input.s", "{\"id\":100}");
  json sent = PeerRead();
  EXPECT_EQ(sent["id"], 202);
  EXPECT_EQ(sent["content"], (json{{"message", "{\"id\":100}"}, {"serviceId", "remote_input.s"}}));
}

TEST_F(SessionTest, ConnectionErrorIsReportedAndNothingMoreIsDispatched) {
  // Sequence 5 instead of 1: the connection closes with -8.
  json body = {{"id", 1}, {"content", nullptr}};
  asio::write(*pair_.peer, asio::buffer(Frame(5, body.dump())));
  auto event = listener_->events.Pop();
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, "error:peer-1:-8");
  EXPECT_FALSE(PeerRead(300).is_object());  // the hello was not answered
}

TEST_F(SessionTest, LostHeartBeatSaysHelloAndAnAnswerResumes) {
  asio::io_context context;
  asio::ip::udp::socket peer_udp(context, {asio::ip::make_address("127.0.0.1"), 0});
  heart_beat_->SetPeer("127.0.0.1", peer_udp.local_endpoint().port());
  heart_beat_->Beat();
  std::vector<uint8_t> datagram = {0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 5, 0, 0, 0};
  peer_udp.send_to(asio::buffer(datagram),
                   {asio::ip::make_address("127.0.0.1"), heart_beat_->GetPort()});
  json hello = PeerRead();  // silence after one datagram: the session probes
  EXPECT_EQ(hello, (json{{"id", 1}, {"content", nullptr}}));
  PeerSend(103, nullptr);
  ASSERT_TRUE(LogCapture::Get().WaitFor("[peer-1] OnHelloResponse: try to receive heart beat again"));
  // Still silent: a second probe, which the peer now leaves unanswered.
  EXPECT_EQ(PeerRead()["id"], 1);
  auto event = listener_->events.Pop();
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, "error:peer-1:-1");
  EXPECT_EQ(LogCapture::Get().Count("[peer-1] No hello response received, remote is dead"), 1u);
  // A late answer changes nothing.
  PeerSend(103, nullptr);
  ASSERT_TRUE(LogCapture::Get().WaitFor("[peer-1] OnHelloResponse: no hello is pending, ignored"));
  EXPECT_FALSE(listener_->events.Pop(200ms));
}

TEST_F(SessionTest, UnsolicitedHelloResponseIsIgnored) {
  PeerSend(103, nullptr);
  ASSERT_TRUE(LogCapture::Get().WaitFor("[peer-1] OnHelloResponse: no hello is pending, ignored"));
  EXPECT_EQ(LogCapture::Get().Count("Retry to receive heart beat"), 0u);
}

TEST_F(SessionTest, CloseIsIdempotentAndClosedSessionsAnswerNothing) {
  session_->Close();
  session_->Close();
  auto event = listener_->events.Pop();
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, "closed:peer-1");
  EXPECT_FALSE(listener_->events.Pop(200ms));
  EXPECT_TRUE(session_->IsClosed());
}

TEST_F(SessionTest, DestructionStopsExactlyTheSetUpServicesInOrder) {
  session_->SetServices({"audio_mirror.c", "video_mirror.c"});
  session_->Close();
  session_.reset();
  test::DrainTasks();
  EXPECT_EQ(video_->Calls(), (std::vector<std::string>{"Disconnect:peer-1"}));
  EXPECT_EQ(audio_->Calls(), (std::vector<std::string>{"Disconnect:peer-1"}));
  auto lines = LogCapture::Get().Lines();
  size_t audio_at = 0, video_at = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("Stop service audio_mirror.c") != std::string::npos) audio_at = i;
    if (lines[i].find("Stop service video_mirror.c") != std::string::npos) video_at = i;
  }
  EXPECT_LT(audio_at, video_at);
}

TEST_F(SessionTest, ReleasedServicesAreNotStoppedAgain) {
  session_->SetServices({"video_mirror.c"});
  session_->ReleaseServices();
  EXPECT_EQ(video_->Calls(), (std::vector<std::string>{"Disconnect:peer-1"}));
  EXPECT_TRUE(session_->GetServices().empty());
  session_->Close();
  session_.reset();
  test::DrainTasks();
  EXPECT_EQ(video_->Calls(), (std::vector<std::string>{"Disconnect:peer-1"}));
}

}  // namespace
}  // namespace crcp
