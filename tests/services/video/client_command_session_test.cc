#include "services/video/client_command_session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/services/media_link/loopback_peer.h"

namespace crcp::video {
namespace {

using testing::LoopbackPeer;
using Strings = std::vector<std::string>;
constexpr auto kWait = std::chrono::seconds(5);

// Records what the command session asks of the video sender.
class FakeSender : public IVideoSender {
 public:
  void ChangeResolution(uint16_t width, uint16_t height) override {
    Record("resolution " + std::to_string(width) + "x" + std::to_string(height));
  }
  void StartSender() override { Record("start"); }
  void StopSender() override { Record("stop"); }
  void Pause() override { Record("pause"); }
  void RequestKeyFrame() override { Record("keyframe"); }
  void SetTcpInfoCallback(TcpInfoCallback callback) override {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
  }

  Strings calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }
  TcpInfoCallback callback() {
    std::lock_guard<std::mutex> lock(mutex_);
    return callback_;
  }

 private:
  void Record(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::mutex mutex_;
  Strings calls_;
  TcpInfoCallback callback_;
};

class RecordingListener : public MirrorSenderSession::Listener {
 public:
  void OnError(int code) override { Record("error " + std::to_string(code)); }
  void OnPlay() override { Record("play"); }
  void OnPause() override { Record("pause"); }
  void OnTeardown() override { Record("teardown"); }

  bool WaitEvents(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] { return events_.size() >= n; });
  }
  Strings events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }

 private:
  void Record(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  Strings events_;
};

enum class State { kStopped, kPlaying, kPaused };

class CommandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { Build({}); }

  void Build(ClientCommandSession::StartCheck check, bool with_sender = true) {
    session_.reset();
    peer_ = std::make_unique<LoopbackPeer>();
    session_ = std::make_unique<ClientCommandSession>(std::move(check));
    session_->SetListener(listener_);
    session_->SetSessionId("session-1");
    if (with_sender) session_->SetVideoSender(sender_);
    ASSERT_EQ(session_->Connect("127.0.0.1", peer_->port()), 0);
    ASSERT_TRUE(peer_->Accept());
  }

  // Reads the next packet the session sent and checks its id and body.
  void ExpectSent(uint32_t id, const std::string& body) {
    const auto packet = peer_->ReadPacket();
    ASSERT_TRUE(packet.has_value()) << "expected packet " << id;
    EXPECT_EQ(packet->type, id);
    EXPECT_EQ(packet->body, body);
    EXPECT_EQ(packet->stamp, 0u);
  }

  // Packets are handled one at a time in order: once the answer to a resolution
  // change comes back, everything sent before it has been handled.
  void Sync() {
    ASSERT_TRUE(peer_->WritePacket(kCommandResolutionChange, R"({"screenHeight":2,"screenWidth":2})"));
    ExpectSent(0x5400, R"({"resultType":0})");
  }

  void Reach(State state) {
    if (state == State::kStopped) return;
    ASSERT_TRUE(session_->SetupMirrorStart(0));
    ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
    ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer,
                                   R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})"));
    ASSERT_TRUE(listener_->WaitEvents(1));
    ASSERT_EQ(listener_->events(), Strings{"play"});
    if (state == State::kPaused) {
      ASSERT_TRUE(session_->SetupMirrorPause());
      ExpectSent(kCommandPause, "");
    }
    listener_->Clear();
    sender_->Clear();
  }

  std::shared_ptr<FakeSender> sender_ = std::make_shared<FakeSender>();
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  std::unique_ptr<LoopbackPeer> peer_;
  std::unique_ptr<ClientCommandSession> session_;
};

// --- the receiver's commands, in every state that matters ---

struct ReceiverCase {
  const char* name;
  State state;
  uint16_t id;
  const char* body;
  std::optional<uint16_t> reply_id;  // none: no reply
  const char* reply_body;
  Strings events;
  Strings sender_calls;
  VideoCommandStatus status;
};

class ReceiverCommandTest : public CommandSessionTest,
                            public ::testing::WithParamInterface<ReceiverCase> {};

TEST_P(ReceiverCommandTest, AnswersAndEffects) {
  const ReceiverCase& c = GetParam();
  Reach(c.state);
  ASSERT_TRUE(peer_->WritePacket(c.id, c.body));
  if (c.reply_id) ExpectSent(*c.reply_id, c.reply_body);
  Sync();  // no other packet came before the probe's answer
  if (!c.events.empty()) {
    ASSERT_TRUE(listener_->WaitEvents(c.events.size()));
  }
  EXPECT_EQ(listener_->events(), c.events);
  Strings calls = sender_->calls();
  ASSERT_FALSE(calls.empty());
  calls.pop_back();  // the probe's resolution change
  EXPECT_EQ(calls, c.sender_calls);
  EXPECT_EQ(session_->GetStatus(), c.status);
}

const char* const kNoBody = "";
INSTANTIATE_TEST_SUITE_P(
    Table, ReceiverCommandTest,
    ::testing::Values(
        ReceiverCase{"PauseWhileStopped", State::kStopped, 0x52, kNoBody, 0x5200,
                     R"({"resultType":-1201})", {}, {}, kStatusStopped},
        ReceiverCase{"PauseWhilePlaying", State::kPlaying, 0x52, kNoBody, 0x5200,
                     R"({"resultType":0})", {"pause"}, {"pause"}, kStatusPaused},
        ReceiverCase{"PauseWhilePaused", State::kPaused, 0x52, kNoBody, 0x5200,
                     R"({"resultType":-1201})", {}, {}, kStatusPaused},
        ReceiverCase{"StopWhileStopped", State::kStopped, 0x53, kNoBody, 0x5300,
                     R"({"resultType":-1301})", {}, {}, kStatusStopped},
        ReceiverCase{"StopWhilePlaying", State::kPlaying, 0x53, kNoBody, 0x5300,
                     R"({"resultType":0})", {"teardown"}, {"stop"}, kStatusStopped},
        ReceiverCase{"StopWhilePaused", State::kPaused, 0x53, kNoBody, 0x5300,
                     R"({"resultType":0})", {"teardown"}, {"stop"}, kStatusStopped},
        ReceiverCase{"ResolutionChange", State::kPlaying, 0x54,
                     R"({"screenHeight":720,"screenWidth":1280})", 0x5400, R"({"resultType":0})",
                     {}, {"resolution 1280x720"}, kStatusPlaying},
        ReceiverCase{"ResolutionZeroWidth", State::kPlaying, 0x54,
                     R"({"screenHeight":720,"screenWidth":0})", std::nullopt, "", {"error -1400"},
                     {}, kStatusPlaying},
        ReceiverCase{"ResolutionBeyondU16", State::kPlaying, 0x54,
                     R"({"screenHeight":720,"screenWidth":70000})", std::nullopt, "",
                     {"error -1600"}, {}, kStatusPlaying},
        ReceiverCase{"ResolutionNegative", State::kPlaying, 0x54,
                     R"({"screenHeight":-720,"screenWidth":1280})", std::nullopt, "",
                     {"error -1600"}, {}, kStatusPlaying},
        ReceiverCase{"ResolutionNotJson", State::kPlaying, 0x54, "{screenWidth", std::nullopt, "",
                     {"error -1600"}, {}, kStatusPlaying},
        ReceiverCase{"ResolutionMissingMember", State::kPlaying, 0x54, R"({"screenWidth":5})",
                     std::nullopt, "", {"error -1600"}, {}, kStatusPlaying},
        ReceiverCase{"KeyFrameWhilePlaying", State::kPlaying, 0x55, kNoBody, std::nullopt, "", {},
                     {"keyframe"}, kStatusPlaying},
        ReceiverCase{"KeyFrameWhilePaused", State::kPaused, 0x55, kNoBody, std::nullopt, "", {},
                     {}, kStatusPaused},
        ReceiverCase{"UnknownId", State::kPlaying, 7, R"({"x":1})", std::nullopt, "", {}, {},
                     kStatusPlaying},
        ReceiverCase{"PauseAnswerIgnored", State::kPlaying, 0x200, "whatever", std::nullopt, "", {},
                     {}, kStatusPlaying},
        ReceiverCase{"StopAnswerIgnored", State::kPlaying, 0x300, kNoBody, std::nullopt, "", {},
                     {}, kStatusPlaying},
        // An answer to start while no start waits starts nothing, whatever it says.
        ReceiverCase{"StartAnswerWhileStopped", State::kStopped, 0x100,
                     R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})", std::nullopt,
                     "", {}, {}, kStatusStopped},
        ReceiverCase{"StartAnswerWhilePlaying", State::kPlaying, 0x100,
                     R"({"resultType":0,"screenHeight":720,"screenWidth":1280})", std::nullopt,
                     "", {}, {}, kStatusPlaying},
        ReceiverCase{"StartAnswerWhilePaused", State::kPaused, 0x100,
                     R"({"resultType":0,"screenHeight":720,"screenWidth":1280})", std::nullopt,
                     "", {}, {}, kStatusPaused},
        ReceiverCase{"StartRefusalWhilePlaying", State::kPlaying, 0x100,
                     R"({"resultType":5,"screenHeight":0,"screenWidth":0})", std::nullopt, "", {},
                     {}, kStatusPlaying},
        ReceiverCase{"StartAnswerNotJsonWhilePlaying", State::kPlaying, 0x100, "{", std::nullopt,
                     "", {}, {}, kStatusPlaying},
        ReceiverCase{"ReceiverStartWhileStopped", State::kStopped, 0x51, R"({"displayMode":1})",
                     kCommandStart, R"({"codec":"h264","displayMode":1})", {}, {},
                     kStatusStartSent},
        ReceiverCase{"ReceiverStartWhilePlaying", State::kPlaying, 0x51, R"({"displayMode":1})",
                     std::nullopt, "", {}, {}, kStatusPlaying},
        ReceiverCase{"ReceiverStartNegativeMode", State::kStopped, 0x51, R"({"displayMode":-1})",
                     std::nullopt, "", {"error -1300"}, {}, kStatusStopped},
        ReceiverCase{"ReceiverStartNotJson", State::kStopped, 0x51, "[1,2", std::nullopt, "",
                     {"error -1600"}, {}, kStatusStopped},
        ReceiverCase{"ReceiverStartModeIsText", State::kStopped, 0x51, R"({"displayMode":"1"})",
                     std::nullopt, "", {"error -1600"}, {}, kStatusStopped}),
    [](const ::testing::TestParamInfo<ReceiverCase>& p) { return p.param.name; });

TEST_F(CommandSessionTest, ReceiverStartRefusedByTheStartCheck) {
  std::string checked;
  Build([&checked](const std::string& id) {
    checked = id;
    return false;
  });
  ASSERT_TRUE(peer_->WritePacket(kCommandReceiverStart, R"({"displayMode":0})"));
  ExpectSent(0x5100, R"({"resultType":-1500})");
  Sync();
  EXPECT_EQ(checked, "session-1");
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
}

// --- the answer to start ---

struct StartAnswerCase {
  const char* name;
  const char* body;
  Strings events;
  Strings sender_calls;
  VideoCommandStatus status;
};

class StartAnswerTest : public CommandSessionTest,
                        public ::testing::WithParamInterface<StartAnswerCase> {};

TEST_P(StartAnswerTest, SettlesTheStart) {
  const StartAnswerCase& c = GetParam();
  ASSERT_TRUE(session_->SetupMirrorStart(0));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
  EXPECT_EQ(session_->GetStatus(), kStatusStartSent);
  ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer, c.body));
  ASSERT_TRUE(listener_->WaitEvents(c.events.size()));
  EXPECT_EQ(listener_->events(), c.events);
  EXPECT_EQ(sender_->calls(), c.sender_calls);
  EXPECT_EQ(session_->GetStatus(), c.status);
  if (c.status == kStatusStopped) {
    // Never stuck waiting: a new start goes out.
    EXPECT_TRUE(session_->SetupMirrorStart(0));
    ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartAnswerTest,
    ::testing::Values(
        StartAnswerCase{"Accepted", R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})",
                        {"play"}, {"resolution 1920x1080", "start"}, kStatusPlaying},
        StartAnswerCase{"Refused", R"({"resultType":5,"screenHeight":1080,"screenWidth":1920})",
                        {"error 5"}, {}, kStatusStopped},
        StartAnswerCase{"ZeroWidth", R"({"resultType":0,"screenHeight":1080,"screenWidth":0})",
                        {"error -1400"}, {}, kStatusStopped},
        StartAnswerCase{"NotJson", "not json", {"error -1600"}, {}, kStatusStopped},
        StartAnswerCase{"MissingHeight", R"({"resultType":0,"screenWidth":1920})",
                        {"error -1600"}, {}, kStatusStopped},
        StartAnswerCase{"WidthBeyondU16",
                        R"({"resultType":0,"screenHeight":1080,"screenWidth":65536})",
                        {"error -1600"}, {}, kStatusStopped},
        StartAnswerCase{"ResultIsFloat", R"({"resultType":0.5,"screenHeight":1,"screenWidth":1})",
                        {"error -1600"}, {}, kStatusStopped}),
    [](const ::testing::TestParamInfo<StartAnswerCase>& p) { return p.param.name; });

TEST_F(CommandSessionTest, StartAnswerWithoutSenderReturnsToStopped) {
  Build({}, /*with_sender=*/false);
  ASSERT_TRUE(session_->SetupMirrorStart(2));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":2})");
  ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer,
                                 R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})"));
  ASSERT_TRUE(listener_->WaitEvents(1));
  EXPECT_EQ(listener_->events(), Strings{"error -1700"});
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
}

// --- the client's commands ---

TEST_F(CommandSessionTest, StartIsSentOnceWithTheCodec) {
  session_->SetCodecName("h265");
  ASSERT_TRUE(session_->SetupMirrorStart(1));
  EXPECT_FALSE(session_->SetupMirrorStart(1));  // waiting for the answer
  ExpectSent(kCommandStart, R"({"codec":"h265","displayMode":1})");
  Sync();
  EXPECT_EQ(session_->GetStatus(), kStatusStartSent);
}

// A stop while the start's answer is due (a lock, a start left unanswered) calls the
// start off: its late accepting answer is torn down at once and starts nothing, a late
// refusal is dropped, and the next start goes out at once; its own answer plays.
TEST_F(CommandSessionTest, StopBeforeTheAnswerCallsTheStartOff) {
  const char* accepted = R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})";
  ASSERT_TRUE(session_->SetupMirrorStart(0));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
  EXPECT_FALSE(session_->SetupMirrorStop());  // nothing sent yet
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
  ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer, accepted));
  ExpectSent(kCommandStop, "");

  ASSERT_TRUE(session_->SetupMirrorStart(0));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
  EXPECT_FALSE(session_->SetupMirrorStop());
  ASSERT_TRUE(session_->SetupMirrorStart(1));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":1})");
  ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer, R"({"resultType":5,"screenHeight":0,"screenWidth":0})"));
  Sync();
  EXPECT_TRUE(listener_->events().empty());
  for (const auto& call : sender_->calls()) EXPECT_EQ(call.find("start"), std::string::npos) << call;
  EXPECT_EQ(session_->GetStatus(), kStatusStartSent);
  ASSERT_TRUE(peer_->WritePacket(kCommandStartAnswer, accepted));
  ASSERT_TRUE(listener_->WaitEvents(1));
  EXPECT_EQ(listener_->events(), Strings{"play"});
  EXPECT_EQ(session_->GetStatus(), kStatusPlaying);
}

// --- answers and starts called off, in the orders a receiver can give them ---

struct ScriptCase {
  const char* name;
  // "start" and "stop": the owner's; "accept" and "refuse": the receiver's answer to start.
  Strings steps;
  std::vector<uint32_t> sent;  // the ids the session sent, in order
  Strings events;
  VideoCommandStatus status;
};

class ScriptTest : public CommandSessionTest, public ::testing::WithParamInterface<ScriptCase> {};

// An answer counts only for a start that waits for one, and a called-off start (never
// answered, or answered late) never costs a later share: no stop follows a new start.
TEST_P(ScriptTest, AnswersCountOnlyForAWaitingStart) {
  const ScriptCase& c = GetParam();
  std::vector<uint32_t> sent;
  for (const std::string& step : c.steps) {
    if (step == "start") {
      session_->SetupMirrorStart(0);
    } else if (step == "stop") {
      session_->SetupMirrorStop();
    } else {
      ASSERT_TRUE(peer_->WritePacket(
          kCommandStartAnswer, step == "accept"
                                   ? R"({"resultType":0,"screenHeight":1080,"screenWidth":1920})"
                                   : R"({"resultType":5,"screenHeight":0,"screenWidth":0})"));
    }
    // What the step sent, up to the answer of a probe that follows it.
    ASSERT_TRUE(peer_->WritePacket(kCommandResolutionChange, R"({"screenHeight":2,"screenWidth":2})"));
    for (;;) {
      const auto packet = peer_->ReadPacket();
      ASSERT_TRUE(packet);
      if (packet->type == 0x5400) break;
      sent.push_back(packet->type);
    }
  }
  EXPECT_EQ(sent, c.sent);
  EXPECT_EQ(listener_->events(), c.events);
  EXPECT_EQ(session_->GetStatus(), c.status);
  const Strings calls = sender_->calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "start"),
            std::count(c.events.begin(), c.events.end(), "play"));
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptTest,
    ::testing::Values(
        ScriptCase{"UnaskedAfterAStop", {"start", "accept", "stop", "accept"}, {1, 3}, {"play"},
                   kStatusStopped},
        ScriptCase{"CalledOffNeverAnsweredThenANewStart", {"start", "stop", "start", "accept"},
                   {1, 1}, {"play"}, kStatusPlaying},
        ScriptCase{"CalledOffAnsweredAfterANewStart",
                   {"start", "stop", "start", "accept", "accept"}, {1, 1}, {"play"},
                   kStatusPlaying},
        ScriptCase{"CalledOffAnsweredBeforeANewStart",
                   {"start", "stop", "accept", "start", "accept"}, {1, 3, 1}, {"play"},
                   kStatusPlaying},
        ScriptCase{"CalledOffNeverAnsweredThenTwoShares",
                   {"start", "stop", "start", "accept", "stop", "start", "accept"}, {1, 1, 3, 1},
                   {"play", "play"}, kStatusPlaying}),
    [](const ::testing::TestParamInfo<ScriptCase>& p) { return p.param.name; });

TEST_F(CommandSessionTest, PauseAndStopFromTheClient) {
  EXPECT_FALSE(session_->SetupMirrorPause());  // not playing
  EXPECT_FALSE(session_->SetupMirrorStop());   // already stopped
  Reach(State::kPlaying);
  EXPECT_FALSE(session_->SetupMirrorStart(0));  // already playing
  ASSERT_TRUE(session_->SetupMirrorPause());
  ExpectSent(kCommandPause, "");
  EXPECT_EQ(listener_->events(), Strings{"pause"});
  EXPECT_FALSE(session_->SetupMirrorPause());
  ASSERT_TRUE(session_->SetupMirrorStop());
  ExpectSent(kCommandStop, "");
  EXPECT_EQ(sender_->calls(), (Strings{"pause", "stop"}));
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
  // A new start is accepted after a stop.
  EXPECT_TRUE(session_->SetupMirrorStart(0));
  ExpectSent(kCommandStart, R"({"codec":"h264","displayMode":0})");
}

TEST_F(CommandSessionTest, AspectAndLinkStatisticsBodies) {
  ASSERT_TRUE(session_->SendKeepAspectRatio(true));
  ExpectSent(kCommandKeepAspectRatio, R"({"keepAspectRatio":true})");
  ASSERT_TRUE(session_->SendKeepAspectRatio(false));
  ExpectSent(kCommandKeepAspectRatio, R"({"keepAspectRatio":false})");
  session_->OnTcpInfoNotify(1, 0, 0, 0);
  ExpectSent(kCommandLinkStatistics, R"({"bandwidth":0,"rto":0,"rtt":0,"score":1})");
  // The sender reports congestion through the callback the session installed.
  const auto callback = sender_->callback();
  ASSERT_TRUE(callback);
  callback(7, 4000000000u, 3, 2);
  ExpectSent(kCommandLinkStatistics, R"({"bandwidth":4000000000,"rto":3,"rtt":2,"score":7})");
}

TEST_F(CommandSessionTest, ReplacedSenderLosesItsCallback) {
  auto other = std::make_shared<FakeSender>();
  session_->SetVideoSender(other);
  EXPECT_FALSE(sender_->callback());
  EXPECT_TRUE(other->callback());
  session_->SetVideoSender(other);  // the same sender again keeps it
  EXPECT_TRUE(other->callback());
}

TEST_F(CommandSessionTest, SendPacketBuildsTheCommandBytes) {
  const std::vector<uint8_t> expected = {0, 0, 0x54, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, '{', '}'};
  EXPECT_EQ(session_->SendPacket(0x5400, "{}"), expected);
}

TEST_F(CommandSessionTest, LinkFailureStopsTheSenderAndIsReported) {
  Reach(State::kPlaying);
  peer_->CloseConnection();
  ASSERT_TRUE(listener_->WaitEvents(1));
  EXPECT_EQ(listener_->events(), Strings{"error -3"});
  EXPECT_EQ(sender_->calls(), Strings{"stop"});
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
}

TEST_F(CommandSessionTest, StartNeedsAConnectedLink) {
  // A session whose link was never made sends nothing and stays stopped.
  session_ = std::make_unique<ClientCommandSession>();
  session_->SetVideoSender(sender_);
  EXPECT_FALSE(session_->SetupMirrorStart(0));  // not connected
  EXPECT_EQ(session_->GetStatus(), kStatusStopped);
}

TEST_F(CommandSessionTest, DestructionStopsTheSenderAndDropsItsCallback) {
  Reach(State::kPlaying);
  session_.reset();
  EXPECT_EQ(sender_->calls(), Strings{"stop"});
  EXPECT_FALSE(sender_->callback());
  EXPECT_TRUE(listener_->events().empty());  // the listener is released first
}

}  // namespace
}  // namespace crcp::video
