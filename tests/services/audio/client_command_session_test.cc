#include "services/audio/client_command_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/audio/audio_sender.h"
#include "tests/support/event_recorder.h"
#include "tests/support/log_capture.h"
#include "tests/services/audio/fake_audio_source.h"
#include "tests/services/media_link/loopback_peer.h"

namespace crcp::audio {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
using testing_support::LogCapture;
using crcp::video::testing::LoopbackPeer;

class RecordingListener : public ClientListener, public testing_support::EventRecorder {
 public:
  RecordingListener() : EventRecorder(std::chrono::seconds(5)) {}
  void OnError(int code) override { Add("error " + std::to_string(code)); }
  void OnPlay() override { Add("play"); }
  void OnTeardown() override { Add("teardown"); }
};

template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

// The session as the sender session sets it up, connected to a loopback receiver.
class AudioCommandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<ClientCommandSession>();
    sender_ = std::make_shared<AudioSender>(source_);
    session_->SetSender(sender_);
    session_->SetCodec("opus");
    session_->SetAudioFormat(48000, 2, 1920);
    session_->SetSendCount(1);
    session_->SetListener(listener_);
    sender_->SetRepeatCount(1);
    ASSERT_EQ(session_->Connect("127.0.0.1", peer_.port()), 0);
    ASSERT_TRUE(peer_.Accept());
  }

  // Packets are handled one at a time in order: once an unknown one has been logged,
  // everything sent before it has been handled (and what it sent is on the link).
  void SyncWorker() {
    LogCapture::Get().Clear();
    ASSERT_TRUE(peer_.WritePacket(7, ""));
    ASSERT_TRUE(LogCapture::Get().WaitFor("unknow packet num"));
  }

  // Start requested and accepted: playing.
  void Play() {
    session_->SetupMirrorStart(0);
    ASSERT_TRUE(peer_.ReadPacket());
    ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
    ASSERT_TRUE(Eventually([&] { return session_->GetStatus() == ClientCommandSession::kStatusPlaying; }));
  }

  LoopbackPeer peer_;
  std::shared_ptr<FakeAudioSource> source_ = std::make_shared<FakeAudioSource>();
  std::shared_ptr<AudioSender> sender_;
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  std::unique_ptr<ClientCommandSession> session_;
};

TEST_F(AudioCommandSessionTest, StartIsSentAsTheExactPacket) {
  session_->SetupMirrorStart(0);
  const auto bytes = peer_.Read(125);
  ASSERT_TRUE(bytes);
  const std::string body =
      R"({"channelCount":2,"codec":"opus","displayMode":0,"frameCountPerPacket":1920,)"
      R"("sampleRate":48000,"sendCount":1})";
  Bytes expected = {0x00, 0x00, 0x00, 0x01,   // type: kStart
                    0x00, 0x00, 0x00, 0x6D,   // length: 109
                    0, 0, 0, 0, 0, 0, 0, 0};  // stamp 0
  expected.insert(expected.end(), body.begin(), body.end());
  EXPECT_EQ(*bytes, expected);
  EXPECT_TRUE(Eventually([&] { return session_->GetStatus() == ClientCommandSession::kStatusStartRequested; }));
}

TEST_F(AudioCommandSessionTest, ASecondStartWhileWaitingSendsNothing) {
  LogCapture::Get().Clear();
  session_->SetupMirrorStart(0);
  session_->SetupMirrorStart(0);
  ASSERT_TRUE(peer_.ReadPacket());
  EXPECT_TRUE(peer_.NothingPending(100));
  EXPECT_EQ(LogCapture::Get().Count("Audio Start Fail Status is not ready"), 1u);
}

struct AnswerCase {
  const char* name;
  const char* body;
  uint32_t send_count;
  Strings events;
  int status;
  uint32_t repeat_count;  // the sender's count after the answer (it was given send_count)
  bool started;
};

class AudioStartAnswerTest : public AudioCommandSessionTest,
                             public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AudioStartAnswerTest, AnswerDecidesTheStart) {
  const AnswerCase& c = GetParam();
  session_->SetSendCount(c.send_count);
  sender_->SetRepeatCount(c.send_count);
  session_->SetupMirrorStart(0);
  ASSERT_TRUE(peer_.ReadPacket());
  ASSERT_TRUE(peer_.WritePacket(101, c.body));
  ASSERT_TRUE(listener_->WaitForCount(c.events.size()));
  ASSERT_TRUE(Eventually([&] { return session_->GetStatus() == c.status; }));
  EXPECT_EQ(listener_->Events(), c.events);
  EXPECT_EQ(sender_->GetRepeatCount(), c.repeat_count);
  EXPECT_EQ(sender_->IsRunning(), c.started);
  EXPECT_EQ(source_->starts(), c.started ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AudioStartAnswerTest,
    ::testing::Values(
        AnswerCase{"Accepted", R"({"repeatSend":1,"resultType":0})", 1, {"play"}, 0, 1, true},
        AnswerCase{"AcceptedWithTheRequestedRepeats", R"({"repeatSend":3,"resultType":0})", 3,
                   {"play"}, 0, 3, true},
        AnswerCase{"OtherRepeatsFallBackToOne", R"({"repeatSend":3,"resultType":0})", 1, {"play"},
                   0, 1, true},
        AnswerCase{"NoRepeatSendFallsBackToOne", R"({"resultType":0})", 2, {"play"}, 0, 1, true},
        AnswerCase{"BooleanCountsAsNumber", R"({"repeatSend":true,"resultType":false})", 1,
                   {"play"}, 0, 1, true},
        AnswerCase{"Refused", R"({"repeatSend":1,"resultType":4})", 1, {"error 4"}, 1, 1, false},
        AnswerCase{"NotJson", "not json", 3, {"error -1600", "error -1"}, 1, 1, false},
        AnswerCase{"NoResultType", R"({"repeatSend":1})", 1, {"error -1600", "error -1"}, 1, 1,
                   false},
        AnswerCase{"StringResultType", R"({"repeatSend":1,"resultType":"0"})", 1,
                   {"error -1600", "error -1"}, 1, 1, false}),
    [](const ::testing::TestParamInfo<AnswerCase>& p) { return p.param.name; });

// Each answer decides the count anew: a later agreeing answer restores the requested
// count after an earlier one lowered it to 1.
TEST_F(AudioCommandSessionTest, EachAnswerDecidesTheRepeatCountAnew) {
  session_->SetSendCount(3);
  sender_->SetRepeatCount(3);
  for (const char* answer : {R"({"repeatSend":1,"resultType":0})", R"({"repeatSend":3,"resultType":0})"}) {
    session_->SetupMirrorStart(0);
    ASSERT_TRUE(peer_.ReadPacket());
    ASSERT_TRUE(peer_.WritePacket(101, answer));
    ASSERT_TRUE(Eventually([&] { return session_->GetStatus() == ClientCommandSession::kStatusPlaying; }));
    EXPECT_EQ(sender_->GetRepeatCount(), std::string(answer).find(":3") != std::string::npos ? 3u : 1u);
    session_->SetupMirrorStop();
    ASSERT_TRUE(peer_.ReadPacket());
  }
}

TEST_F(AudioCommandSessionTest, OwnerStopStopsTheSenderAndTellsTheReceiver) {
  Play();
  session_->SetupMirrorStop();
  const auto stop = peer_.ReadPacket();
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->type, 2u);
  EXPECT_TRUE(stop->body.empty());
  EXPECT_FALSE(sender_->IsRunning());
  EXPECT_EQ(listener_->Events(), (Strings{"play", "teardown"}));
  EXPECT_EQ(session_->GetStatus(), ClientCommandSession::kStatusReady);
  // Not playing any more: a second stop does nothing.
  session_->SetupMirrorStop();
  EXPECT_TRUE(peer_.NothingPending(100));
}

// An owner's stop right behind the receiver's accepting answer, with the worker slow to
// report the start: the listener still hears of the start before the teardown.
TEST_F(AudioCommandSessionTest, StopRightBehindTheStartIsReportedAfterIt) {
  class SlowToReportPlay : public ClientListener, public testing_support::EventRecorder {
   public:
    void OnError(int code) override { Add("error " + std::to_string(code)); }
    // Held until a teardown has begun, or a second has passed (which is all it may do
    // while the session keeps its reports in order).
    void OnPlay() override {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, 1s, [&] { return teardown_begun_; });
      }
      Add("play");
    }
    void OnTeardown() override {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        teardown_begun_ = true;
        cv_.notify_all();
      }
      Add("teardown");
    }

   private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool teardown_begun_ = false;
  };
  auto listener = std::make_shared<SlowToReportPlay>();
  session_->SetListener(listener);
  Play();
  session_->SetupMirrorStop();
  ASSERT_TRUE(listener->WaitForCount(2));
  EXPECT_EQ(listener->Events(), (Strings{"play", "teardown"}));
}

TEST_F(AudioCommandSessionTest, ReceiverStopIsAnsweredByStatus) {
  ASSERT_TRUE(peer_.WritePacket(152, ""));
  auto reply = peer_.ReadPacket();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type, 252u);
  EXPECT_EQ(reply->body, R"({"resultType":-1301})");

  Play();
  ASSERT_TRUE(peer_.WritePacket(152, "anything"));
  reply = peer_.ReadPacket();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type, 252u);
  EXPECT_EQ(reply->body, R"({"resultType":0})");
  EXPECT_FALSE(sender_->IsRunning());
  ASSERT_TRUE(listener_->WaitForCount(2));
  EXPECT_EQ(listener_->Events(), (Strings{"play", "teardown"}));
}

// The receiver's start is taken only while the owner shares: before the owner's start
// and after its stop it is refused, with nothing sent and nothing captured.
TEST_F(AudioCommandSessionTest, ReceiverStartOnlyWhileTheOwnerShares) {
  LogCapture::Get().Clear();
  ASSERT_TRUE(peer_.WritePacket(151, R"({"displayMode":0})"));
  ASSERT_TRUE(LogCapture::Get().WaitFor("Audio Start Fail, nothing is shared"));
  EXPECT_TRUE(peer_.NothingPending(100));
  EXPECT_EQ(session_->GetStatus(), ClientCommandSession::kStatusReady);

  Play();
  ASSERT_TRUE(peer_.WritePacket(152, ""));  // the receiver stops the sound, not the share
  ASSERT_TRUE(peer_.ReadPacket());          // 252
  ASSERT_TRUE(peer_.WritePacket(151, R"({"displayMode":-1})"));
  ASSERT_TRUE(LogCapture::Get().WaitFor("OnStart displayMode is illegal"));
  ASSERT_TRUE(peer_.WritePacket(151, "{}"));
  ASSERT_TRUE(listener_->WaitForCount(3));
  EXPECT_EQ(listener_->Events(), (Strings{"play", "teardown", "error -1600"}));
  ASSERT_TRUE(peer_.WritePacket(151, R"({"displayMode":0})"));
  const auto start = peer_.ReadPacket();
  ASSERT_TRUE(start);
  EXPECT_EQ(start->type, 1u);
  EXPECT_NE(start->body.find(R"("displayMode":0)"), std::string::npos);
  EXPECT_TRUE(Eventually([&] { return session_->GetStatus() == ClientCommandSession::kStatusStartRequested; }));

  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  ASSERT_TRUE(listener_->WaitForCount(4));
  session_->SetupMirrorStop();
  ASSERT_TRUE(peer_.ReadPacket());  // 2
  LogCapture::Get().Clear();
  ASSERT_TRUE(peer_.WritePacket(151, R"({"displayMode":0})"));
  ASSERT_TRUE(LogCapture::Get().WaitFor("Audio Start Fail, nothing is shared"));
  EXPECT_TRUE(peer_.NothingPending(100));
  EXPECT_EQ(source_->starts(), 2);
}

// A stop while the start's answer is due calls the start off: the late accepting answer
// captures nothing and is followed by a stop at once, and the next start goes out
// without waiting for it; the first accepting answer after it plays, and one more
// changes nothing.
TEST_F(AudioCommandSessionTest, StopBeforeTheAnswerCallsTheStartOff) {
  session_->SetupMirrorStart(0);
  ASSERT_TRUE(peer_.ReadPacket());
  session_->SetupMirrorStop();
  EXPECT_EQ(session_->GetStatus(), ClientCommandSession::kStatusReady);
  EXPECT_TRUE(peer_.NothingPending(100));
  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  const auto stop = peer_.ReadPacket();
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->type, 2u);
  EXPECT_FALSE(sender_->IsRunning());
  EXPECT_EQ(source_->starts(), 0);

  // Called off twice more: a refusal, then accepting answers, in the receiver's order.
  session_->SetupMirrorStart(0);
  session_->SetupMirrorStop();
  session_->SetupMirrorStart(0);
  session_->SetupMirrorStop();
  session_->SetupMirrorStart(0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(peer_.ReadPacket());
  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":4})"));
  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  ASSERT_TRUE(listener_->WaitForCount(1));
  EXPECT_EQ(listener_->Events(), (Strings{"play"}));
  EXPECT_TRUE(sender_->IsRunning());
  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  SyncWorker();
  EXPECT_EQ(listener_->Events(), (Strings{"play"}));
  EXPECT_EQ(source_->starts(), 1);
  EXPECT_TRUE(peer_.NothingPending(100));
}

// --- answers and starts called off, in the orders a receiver can give them ---

struct ScriptCase {
  const char* name;
  // "start" and "stop": the owner's; "accept", "refuse" and "garbage": the receiver's
  // answer to start.
  Strings steps;
  std::vector<uint32_t> sent;  // the ids the session sent, in order
  Strings events;
  int status;
  int captures;  // starts of the capture
};

class AudioScriptTest : public AudioCommandSessionTest,
                        public ::testing::WithParamInterface<ScriptCase> {};

// An answer counts only for a start that waits for one, and a called-off start (never
// answered, or answered late) never costs a later share.
TEST_P(AudioScriptTest, AnswersCountOnlyForAWaitingStart) {
  const ScriptCase& c = GetParam();
  std::vector<uint32_t> sent;
  for (const std::string& step : c.steps) {
    if (step == "start") {
      session_->SetupMirrorStart(0);
    } else if (step == "stop") {
      session_->SetupMirrorStop();
    } else {
      const char* body = step == "accept"   ? R"({"repeatSend":1,"resultType":0})"
                         : step == "refuse" ? R"({"repeatSend":1,"resultType":4})"
                                            : "not json";
      ASSERT_TRUE(peer_.WritePacket(101, body));
      SyncWorker();
    }
    // Every send is done before the call (or the handling) returns.
    while (!peer_.NothingPending(20)) {
      const auto packet = peer_.ReadPacket();
      ASSERT_TRUE(packet);
      sent.push_back(packet->type);
    }
  }
  EXPECT_EQ(sent, c.sent);
  EXPECT_EQ(listener_->Events(), c.events);
  EXPECT_EQ(session_->GetStatus(), c.status);
  EXPECT_EQ(source_->starts(), c.captures);
  EXPECT_EQ(sender_->IsRunning(), c.status == ClientCommandSession::kStatusPlaying);
}

constexpr int kReady = ClientCommandSession::kStatusReady;
constexpr int kPlaying = ClientCommandSession::kStatusPlaying;
INSTANTIATE_TEST_SUITE_P(
    Scripts, AudioScriptTest,
    ::testing::Values(
        ScriptCase{"UnaskedOnTheFunctionPage", {"accept"}, {}, {}, kReady, 0},
        ScriptCase{"UnaskedGarbage", {"garbage", "refuse"}, {}, {}, kReady, 0},
        ScriptCase{"UnaskedAfterAStop", {"start", "accept", "stop", "accept"}, {1, 2},
                   {"play", "teardown"}, kReady, 1},
        ScriptCase{"UnaskedWhilePlaying", {"start", "accept", "accept", "refuse", "garbage"}, {1},
                   {"play"}, kPlaying, 1},
        ScriptCase{"CalledOffNeverAnsweredThenANewStart", {"start", "stop", "start", "accept"},
                   {1, 1}, {"play"}, kPlaying, 1},
        ScriptCase{"CalledOffAnsweredAfterANewStart",
                   {"start", "stop", "start", "accept", "accept"}, {1, 1}, {"play"}, kPlaying, 1},
        ScriptCase{"CalledOffAnsweredBeforeANewStart",
                   {"start", "stop", "accept", "start", "accept"}, {1, 2, 1}, {"play"}, kPlaying,
                   1},
        ScriptCase{"CalledOffRefusedAfterANewStart",
                   {"start", "stop", "start", "refuse", "accept"}, {1, 1}, {"play"}, kPlaying, 1},
        ScriptCase{"CalledOffNeverAnsweredThenTwoShares",
                   {"start", "stop", "start", "accept", "stop", "start", "accept"}, {1, 1, 2, 1},
                   {"play", "teardown", "play"}, kPlaying, 2}),
    [](const ::testing::TestParamInfo<ScriptCase>& p) { return p.param.name; });

TEST_F(AudioCommandSessionTest, UnknownCommandChangesNothing) {
  LogCapture::Get().Clear();
  ASSERT_TRUE(peer_.WritePacket(7, "{}"));
  ASSERT_TRUE(peer_.WritePacket(102, "ignored"));
  ASSERT_TRUE(LogCapture::Get().WaitFor("unknow packet num"));
  EXPECT_TRUE(peer_.NothingPending(100));
  EXPECT_EQ(session_->GetStatus(), ClientCommandSession::kStatusReady);
  EXPECT_TRUE(listener_->Events().empty());
}

// An accepting answer with no sender to start leaves the session ready again, so a
// later start is not refused for good.
TEST_F(AudioCommandSessionTest, AcceptedStartWithoutASenderReturnsToReady) {
  session_->SetSender(nullptr);
  session_->SetupMirrorStart(0);
  ASSERT_TRUE(peer_.ReadPacket());
  ASSERT_TRUE(peer_.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  ASSERT_TRUE(Eventually([&] { return session_->GetStatus() == ClientCommandSession::kStatusReady; }));
  session_->SetupMirrorStart(0);
  EXPECT_TRUE(peer_.ReadPacket());
  EXPECT_TRUE(listener_->Events().empty());
}

TEST_F(AudioCommandSessionTest, DestroyingAPlayingSessionStopsTheSender) {
  Play();
  session_.reset();
  EXPECT_FALSE(sender_->IsRunning());
  EXPECT_EQ(listener_->Events(), (Strings{"play", "teardown"}));
}

TEST(AudioCommandSessionLinkTest, StartWithoutALinkSendsNothing) {
  LogCapture::Get().Clear();
  ClientCommandSession session;
  session.SetupMirrorStart(0);
  EXPECT_EQ(LogCapture::Get().Count("connection is not ready"), 1u);
  EXPECT_EQ(session.GetStatus(), ClientCommandSession::kStatusReady);
}

}  // namespace
}  // namespace crcp::audio
