#include <atomic>
#include <functional>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "crcp/config.h"
#include "crcp/crcp.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "tests/crcp/fakes.h"
#include "tests/crcp/loopback.h"
#include "tests/receiver/nested_json.h"
#include "tests/receiver/session_receiver.h"
#include "tests/support/log_capture.h"

// The whole session protocol on loopback: the client library against the reference
// receiver, which encodes and decodes the wire formats on its own.
namespace crcp {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using receiver::AnswerScript;
using receiver::Reply;
using receiver::SessionReceiver;
using test::FakeService;
using test::Inbox;
using testing_support::LogCapture;

constexpr auto kWait = 8000ms;

struct Result {
  std::string id;
  int code;
};

class RecordingListener : public Listener {
 public:
  void OnClosed(const std::string& id) override { events.Push("closed:" + id); }
  void OnError(const std::string& id, int code) override {
    events.Push("error:" + id + ":" + std::to_string(code));
  }
  Inbox<std::string> events;
};

class CrcpE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetPorts(27460, 27479);
    Config::Instance().SetBindAddress("127.0.0.1");
    Config::Instance().SetHeartBeatTimeout(2000);
    registry_->AddService(video_);
    registry_->AddService(audio_);
    peer_.OfferService({"video_mirror.c", "video_mirror.s", "{\"dataPort\":1}", nullptr});
    peer_.OfferService({"audio_mirror.c", "audio_mirror.s", "{\"dataPort\":2}", nullptr});
    peer_.OfferService({"remote_input.r", "remote_input.s", "{}", nullptr});  // not ours
    ASSERT_TRUE(peer_.Start());
    crcp_ = std::make_unique<Crcp>("client-uuid", registry_);
    crcp_->SetListener(listener_);
    crcp_->SetAuthKey("K7Q2XZ");
    LogCapture::Get().Clear();
  }
  void TearDown() override {
    crcp_.reset();
    peer_.Stop();
  }

  Crcp::ConnectCallback Collect() {
    auto inbox = results_;
    return [inbox](const std::string& id, int code) { inbox->Push({id, code}); };
  }
  // Connects and waits for the result.
  Result ConnectAndWait() {
    EXPECT_TRUE(crcp_->Connect("127.0.0.1", peer_.Port(), Collect()));
    auto r = results_->Pop(kWait);
    return r ? *r : Result{"<none>", 1};
  }

  SessionReceiver peer_;
  std::shared_ptr<ServiceManager> registry_ = std::make_shared<ServiceManager>();
  std::shared_ptr<FakeService> video_ =
      std::make_shared<FakeService>("video_mirror.c", "video_mirror.s", "{\"v\":1}");
  std::shared_ptr<FakeService> audio_ =
      std::make_shared<FakeService>("audio_mirror.c", "audio_mirror.s", "{\"a\":1}");
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  std::shared_ptr<Inbox<Result>> results_ = std::make_shared<Inbox<Result>>();
  std::unique_ptr<Crcp> crcp_;
};

TEST_F(CrcpE2eTest, HandshakeSendsExactMembersAndLaunchesByPeerNames) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.id, "reference-receiver-uuid");
  auto shake = peer_.WaitForMessage(0, kWait);
  ASSERT_TRUE(shake);
  EXPECT_EQ(shake->header.sequence_num, 1u);
  const json& c = shake->content;
  EXPECT_EQ(c.size(), 6u);
  EXPECT_EQ(c["version_name"], "R.5.5.8.41");
  EXPECT_EQ(c["version"], 0);
  EXPECT_EQ(c["uuid"], "client-uuid");
  EXPECT_EQ(c["authKey"], "K7Q2XZ");
  EXPECT_EQ(c["key"], "tolv");
  EXPECT_GE(c["heartBeatPort"].get<int>(), 27460);
  // Compact, members in name order.
  EXPECT_EQ(shake->body.rfind("{\"content\":{\"authKey\":\"K7Q2XZ\",\"heartBeatPort\":", 0), 0u);
  auto launch = peer_.WaitForMessage(4, kWait);
  ASSERT_TRUE(launch);
  EXPECT_EQ(launch->content, (json{{"audio_mirror.s", "{\"a\":1}"}, {"video_mirror.s", "{\"v\":1}"}}));
  EXPECT_EQ(crcp_->GetAvailableServices(r.id),
            (std::list<std::string>{"audio_mirror.c", "video_mirror.c"}));
  EXPECT_EQ(video_->Count("Setup:reference-receiver-uuid:{\"dataPort\":1}"), 1u);
  EXPECT_TRUE(peer_.ProtocolErrors().empty());
}

TEST_F(CrcpE2eTest, ServiceLeftOutOfTheLaunchAnswerIsStopped) {
  AnswerScript launch;
  launch.omit = {"audio_mirror.c"};
  peer_.SetLaunchScript(launch);
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(crcp_->GetAvailableServices(r.id), (std::list<std::string>{"video_mirror.c"}));
  EXPECT_EQ(audio_->Calls(), (std::vector<std::string>{"Init:" + r.id, "Disconnect:" + r.id}));
}

TEST_F(CrcpE2eTest, RefusedConnectionIsMinusSeven) {
  uint16_t port = peer_.Port();
  peer_.Stop();
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", port, Collect()));
  auto r = results_->Pop(kWait);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, -7);
}

TEST_F(CrcpE2eTest, SilentPeerFailsTheHandshakeWithMinusThirteen) {
  AnswerScript silent;
  silent.reply = Reply::kSilent;
  peer_.SetHandshakeScript(silent);
  Result r = ConnectAndWait();
  EXPECT_EQ(r.code, -13);
  EXPECT_TRUE(peer_.WaitForClosed(kWait));
  EXPECT_TRUE(video_->Calls().empty());
}

TEST_F(CrcpE2eTest, BadHandshakeContentIsMinusThirteen) {
  AnswerScript bad;
  bad.set = json{{"heartBeatPort", "7390"}};
  peer_.SetHandshakeScript(bad);
  EXPECT_EQ(ConnectAndWait().code, -13);
  AnswerScript no_uuid;
  no_uuid.set = json{{"uuid", ""}};
  peer_.SetHandshakeScript(no_uuid);
  EXPECT_EQ(ConnectAndWait().code, -13);
  EXPECT_TRUE(video_->Calls().empty());
}

// A receiver's answer nested 100,000 levels deep is refused like any answer that is not
// JSON: the handshake fails with its usual code, and the next one succeeds.
TEST_F(CrcpE2eTest, DeeplyNestedAnswersFailTheHandshakeLikeMalformedOnes) {
  for (const bool launch : {false, true}) {
    for (const std::string& text : {std::string("{"), receiver::NestedJson(receiver::kHostileDepth)}) {
      AnswerScript hostile;
      hostile.content_text = text;
      if (launch) {
        peer_.SetLaunchScript(hostile);
      } else {
        peer_.SetHandshakeScript(hostile);
      }
      EXPECT_EQ(ConnectAndWait().code, Crcp::kHandshakeFailed)
          << (launch ? "launch " : "handshake ") << text.size();
      peer_.SetHandshakeScript(AnswerScript{});
      peer_.SetLaunchScript(AnswerScript{});
    }
  }
  EXPECT_EQ(ConnectAndWait().code, Crcp::kConnected);
}

// The same on an established session: a deeply nested message ends the session exactly
// as a body that is not JSON does.
TEST_F(CrcpE2eTest, DeeplyNestedMessageEndsTheSessionLikeABodyThatIsNotJson) {
  for (const std::string& text : {std::string("{"), receiver::NestedJson(receiver::kHostileDepth)}) {
    Result r = ConnectAndWait();
    ASSERT_EQ(r.code, 0);
    ASSERT_TRUE(peer_.SendMessageText(202, text));
    EXPECT_EQ(listener_->events.Pop(kWait).value_or(""), "error:" + r.id + ":-9") << text.size();
    EXPECT_EQ(listener_->events.Pop(kWait).value_or(""), "closed:" + r.id) << text.size();
  }
}

// A receiver whose JSON library keeps every number as a double answers with
// "heartBeatPort" 7390.0: that is its port, and the client's heart beats reach it.
TEST_F(CrcpE2eTest, HeartBeatPortWrittenAsADoubleIsThePort) {
  SessionReceiver::Options options;
  options.heart_beat_port_as_double = true;
  SessionReceiver doubles(options);
  ASSERT_TRUE(doubles.Start());
  ASSERT_TRUE(doubles.BuildHandshakeAnswer()["heartBeatPort"].is_number_float());
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", doubles.Port(), Collect()));
  auto r = results_->Pop(kWait);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, Crcp::kConnected);
  EXPECT_TRUE(doubles.WaitForHeartBeats(2, kWait));
}

TEST_F(CrcpE2eTest, HeartBeatsFlowBothWays) {
  ASSERT_EQ(ConnectAndWait().code, 0);
  EXPECT_TRUE(peer_.WaitForHeartBeats(4, kWait));
  auto beats = peer_.HeartBeats();
  ASSERT_FALSE(beats.empty());
  EXPECT_TRUE(beats.front().legal);
  EXPECT_EQ(beats.front().beat.seq_num, 1u);
  EXPECT_TRUE(LogCapture::Get().WaitFor("Heart beat is enabled, timeout: 2000"));
  EXPECT_TRUE(LogCapture::Get().WaitFor("Receive No.3 heart beat"));
}

TEST_F(CrcpE2eTest, LostHeartBeatAnsweredHelloKeepsTheSession) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  ASSERT_TRUE(LogCapture::Get().WaitFor("Receive No.2 heart beat"));
  peer_.SetHeartBeatSending(false);
  ASSERT_TRUE(peer_.WaitForMessage(1, kWait));  // the client's hello
  ASSERT_TRUE(LogCapture::Get().WaitFor("OnHelloResponse: try to receive heart beat again"));
  peer_.SetHeartBeatSending(true);
  EXPECT_FALSE(listener_->events.Pop(2500ms));
  EXPECT_EQ(crcp_->GetAvailableServices(r.id).size(), 2u);
}

TEST_F(CrcpE2eTest, SilentPeerAfterLossIsMinusOneThenClosed) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  ASSERT_TRUE(LogCapture::Get().WaitFor("Receive No.2 heart beat"));
  peer_.SetAnswerHello(false);
  peer_.SetHeartBeatSending(false);
  auto first = listener_->events.Pop(kWait);
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, "error:" + r.id + ":-1");
  auto second = listener_->events.Pop(kWait);
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, "closed:" + r.id);
  test::DrainTasks();
  test::DrainTasks();
  EXPECT_EQ(video_->Count("Disconnect:" + r.id), 1u);
  EXPECT_EQ(audio_->Count("Disconnect:" + r.id), 1u);
  EXPECT_TRUE(crcp_->GetAvailableServices(r.id).empty());
}

TEST_F(CrcpE2eTest, PeerCloseIsMinusThreeThenClosed) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  peer_.CloseConnection();
  auto first = listener_->events.Pop(kWait);
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, "error:" + r.id + ":-3");
  auto second = listener_->events.Pop(kWait);
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, "closed:" + r.id);
}

TEST_F(CrcpE2eTest, ServiceMessagesBothWaysAndConcurrentSendsArriveIntact) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  ASSERT_TRUE(peer_.SendServiceMessage("video_mirror.c", "{\"cmd\":\"hi\"}"));
  EXPECT_EQ(video_->Events().Pop(kWait).value_or(""), "Init:" + r.id);
  EXPECT_EQ(video_->Events().Pop(kWait).value_or(""), "Setup:" + r.id + ":{\"dataPort\":1}");
  EXPECT_EQ(video_->Events().Pop(kWait).value_or(""), "Msg:" + r.id + ":{\"cmd\":\"hi\"}");

  constexpr int kThreads = 4, kEach = 25;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      auto service = t % 2 ? video_ : audio_;
      for (int i = 0; i < kEach; ++i)
        service->Send(r.id, json{{"t", t}, {"i", i}, {"pad", std::string(3000, 'x')}}.dump());
    });
  }
  for (auto& s : senders) s.join();
  auto last = peer_.WaitForMessage(202, kWait, kThreads * kEach - 1);
  ASSERT_TRUE(last);
  std::vector<int> next(kThreads, 0);
  for (const auto& m : peer_.Messages()) {
    if (m.id != 202) continue;
    json inner = json::parse(m.content["message"].get<std::string>());
    int t = inner["t"];
    EXPECT_EQ(m.content["serviceId"], t % 2 ? "video_mirror.s" : "audio_mirror.s");
    EXPECT_EQ(inner["i"], next[t]++);
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kEach);
  EXPECT_TRUE(peer_.ProtocolErrors().empty());
}

TEST_F(CrcpE2eTest, CancelDuringTheHandshakeThenConnectAgain) {
  AnswerScript silent;
  silent.reply = Reply::kSilent;
  peer_.SetHandshakeScript(silent);
  ASSERT_TRUE(crcp_->Connect("127.0.0.1", peer_.Port(), Collect()));
  ASSERT_TRUE(peer_.WaitForMessage(0, kWait));
  crcp_->Cancel();
  EXPECT_TRUE(peer_.WaitForClosed(kWait, 1));
  peer_.SetHandshakeScript(AnswerScript{});
  Result r = ConnectAndWait();
  EXPECT_EQ(r.code, 0);
  EXPECT_FALSE(results_->Pop(300ms));  // nothing for the cancelled attempt
}

TEST_F(CrcpE2eTest, SecondSessionWithTheSameIdReplacesTheFirstCleanly) {
  Result first = ConnectAndWait();
  ASSERT_EQ(first.code, 0);
  AnswerScript launch;
  launch.omit = {"audio_mirror.c"};
  peer_.SetLaunchScript(launch);
  Result second = ConnectAndWait();
  ASSERT_EQ(second.code, 0);
  ASSERT_EQ(second.id, first.id);
  EXPECT_TRUE(peer_.WaitForClosed(kWait, 1));
  auto closed = listener_->events.Pop(kWait);
  ASSERT_TRUE(closed);
  EXPECT_EQ(*closed, "closed:" + first.id);
  test::DrainTasks();
  test::DrainTasks();
  const std::string id = first.id;
  // The new session's set-up takes video over: nothing of it is stopped, neither with
  // the old session nor later. Audio, which the new one did not set up, is stopped once,
  // when the old session goes.
  EXPECT_EQ(video_->Calls(),
            (std::vector<std::string>{"Init:" + id, "Setup:" + id + ":{\"dataPort\":1}",
                                      "Init:" + id, "Setup:" + id + ":{\"dataPort\":1}"}));
  EXPECT_EQ(audio_->Calls(),
            (std::vector<std::string>{"Init:" + id, "Setup:" + id + ":{\"dataPort\":2}",
                                      "Init:" + id, "Disconnect:" + id}));
  EXPECT_EQ(crcp_->GetAvailableServices(id), (std::list<std::string>{"video_mirror.c"}));
  EXPECT_FALSE(listener_->events.Pop(500ms));
}

// A reconnect to the same receiver that fails, because the receiver refuses a second
// launch or never answers it, leaves the live session alone: nothing of it is stopped
// or closed, and its service messages still flow.
TEST_F(CrcpE2eTest, FailedReconnectLeavesTheLiveSessionAlone) {
  Result live = ConnectAndWait();
  ASSERT_EQ(live.code, 0);
  const auto shake = peer_.WaitForMessage(0, kWait);
  ASSERT_TRUE(shake);
  // The receiver's heart beat stays with the live session whatever the newcomer does.
  peer_.SetHeartBeatTarget("127.0.0.1", shake->content["heartBeatPort"].get<uint16_t>());
  AnswerScript silent;
  silent.reply = Reply::kSilent;
  const struct {
    const char* what;
    std::function<void(bool)> script;
  } cases[] = {
      {"refused launch", [this](bool on) { peer_.SetRefuseSecondLaunch(on); }},
      {"unanswered launch",
       [this, silent](bool on) { peer_.SetLaunchScript(on ? silent : AnswerScript{}); }},
  };
  int message = 0;
  for (const auto& c : cases) {
    c.script(true);
    EXPECT_EQ(ConnectAndWait().code, Crcp::kHandshakeFailed) << c.what;
    c.script(false);
    peer_.SetHeartBeatSending(true);
    test::DrainTasks();
    EXPECT_EQ(video_->Count("Disconnect:" + live.id), 0u) << c.what;
    EXPECT_EQ(audio_->Count("Disconnect:" + live.id), 0u) << c.what;
    EXPECT_FALSE(listener_->events.Pop(0ms)) << c.what;
    EXPECT_FALSE(peer_.WaitForClosed(0ms, 1)) << c.what;
    EXPECT_EQ(crcp_->GetAvailableServices(live.id).size(), 2u) << c.what;
    const std::string text = "{\"n\":" + std::to_string(++message) + "}";
    ASSERT_TRUE(peer_.SendServiceMessage("video_mirror.c", text, 1));
    std::optional<std::string> event;
    do {
      event = video_->Events().Pop(kWait);
    } while (event && *event != "Msg:" + live.id + ":" + text);
    EXPECT_TRUE(event) << c.what << ": the live session's message did not arrive";
  }
}

// Holds the task thread from Post until Open, so that a test can order the tasks
// queued behind it.
class TaskGate {
 public:
  void Post() {
    auto entered = entered_;
    auto opened = opened_;
    Runtime::PostTask("test gate", [entered, opened] {
      entered->set_value();
      opened.wait_for(std::chrono::seconds(10));
    });
  }
  bool WaitEntered() {
    return entered_->get_future().wait_for(kWait) == std::future_status::ready;
  }
  void Open() { open_.set_value(); }

 private:
  std::shared_ptr<std::promise<void>> entered_ = std::make_shared<std::promise<void>>();
  std::promise<void> open_;
  std::shared_future<void> opened_ = open_.get_future().share();
};

// A same-id successor under way keeps its services whatever its predecessor does:
// the predecessor ending while the successor's launch is unanswered, or while its
// answer is being taken, stops nothing that the successor launched, and the successor
// comes up with both services.
TEST_F(CrcpE2eTest, SameIdSuccessorKeepsItsServicesWhateverThePredecessorDoes) {
  Result first = ConnectAndWait();
  ASSERT_EQ(first.code, 0);
  const std::string id = first.id;
  const json answer = {{"audio_mirror.c", "{\"dataPort\":2}"},
                       {"video_mirror.c", "{\"dataPort\":1}"}};
  const struct {
    const char* what;
    // Ends the predecessor (on receiver connection `live`) and sends the launch
    // answer on `successor`.
    std::function<void(int live, int successor)> end_and_answer;
  } cases[] = {
      {"receiver drops the predecessor between the successor's Init and Setup",
       [&](int live, int successor) {
         peer_.CloseConnection(live);
         std::optional<std::string> event;
         do {
           event = listener_->events.Pop(kWait);
         } while (event && *event != "closed:" + id);
         ASSERT_TRUE(event) << "the predecessor was not closed";
         test::DrainTasks();
         test::DrainTasks();
         ASSERT_TRUE(peer_.SendMessage(101, answer, successor));
       }},
      {"predecessor closed but not yet removed when the successor's answer is taken",
       [&](int, int successor) {
         // The owner's close takes two tasks; the answer is queued between them, so
         // the predecessor is closed just before the answer is taken.
         TaskGate before, between;
         before.Post();
         ASSERT_TRUE(before.WaitEntered());
         crcp_->CloseSession(id);
         between.Post();
         before.Open();
         ASSERT_TRUE(between.WaitEntered());
         ASSERT_TRUE(peer_.SendMessage(101, answer, successor));
         std::this_thread::sleep_for(200ms);  // the answer reaches the task queue
         between.Open();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int live = peer_.ConnectionCount();
    const size_t video_from = video_->Calls().size();
    const size_t audio_from = audio_->Calls().size();
    AnswerScript held;
    held.reply = Reply::kSilent;
    peer_.SetLaunchScript(held);
    ASSERT_TRUE(crcp_->Connect("127.0.0.1", peer_.Port(), Collect()));
    ASSERT_TRUE(peer_.WaitForMessage(4, kWait, live));  // the successor's Inits ran
    peer_.SetLaunchScript(AnswerScript{});
    c.end_and_answer(live, live + 1);
    auto r = results_->Pop(kWait);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 0);
    EXPECT_EQ(r->id, id);
    test::DrainTasks();
    test::DrainTasks();
    const auto video = video_->Calls();
    const auto audio = audio_->Calls();
    EXPECT_EQ(std::vector<std::string>(video.begin() + video_from, video.end()),
              (std::vector<std::string>{"Init:" + id, "Setup:" + id + ":{\"dataPort\":1}"}));
    EXPECT_EQ(std::vector<std::string>(audio.begin() + audio_from, audio.end()),
              (std::vector<std::string>{"Init:" + id, "Setup:" + id + ":{\"dataPort\":2}"}));
    EXPECT_EQ(crcp_->GetAvailableServices(id).size(), 2u);
    // The successor is the session now: its messages arrive.
    const std::string text = "{\"from\":" + std::to_string(live + 1) + "}";
    ASSERT_TRUE(peer_.SendServiceMessage("video_mirror.c", text, live + 1));
    std::optional<std::string> event;
    do {
      event = video_->Events().Pop(kWait);
    } while (event && *event != "Msg:" + id + ":" + text);
    EXPECT_TRUE(event) << "the successor's message did not arrive";
    while (listener_->events.Pop(0ms)) {
    }
  }
}

TEST_F(CrcpE2eTest, DestroyingTheClientWithALiveSessionIsClean) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  ASSERT_TRUE(peer_.WaitForHeartBeats(2, kWait));
  crcp_.reset();
  EXPECT_TRUE(peer_.WaitForClosed(kWait));
  EXPECT_EQ(video_->Count("Disconnect:" + r.id), 1u);
  EXPECT_EQ(audio_->Count("Disconnect:" + r.id), 1u);
  EXPECT_FALSE(listener_->events.Pop(300ms));  // listeners are detached first
  // A service sending after the end finds nothing to send on.
  video_->Send(r.id, "late");
}

TEST_F(CrcpE2eTest, IllegalBytesFromThePeerEndTheSession) {
  Result r = ConnectAndWait();
  ASSERT_EQ(r.code, 0);
  peer_.SetNextSequence(9);
  ASSERT_TRUE(peer_.SendHello());
  auto first = listener_->events.Pop(kWait);
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, "error:" + r.id + ":-8");
  auto second = listener_->events.Pop(kWait);
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, "closed:" + r.id);
}

}  // namespace
}  // namespace crcp
