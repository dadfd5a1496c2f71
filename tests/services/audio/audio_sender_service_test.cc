#include "services/audio/audio_sender_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "crcp/config.h"
#include "services/audio/client_command_session.h"
#include "services/audio/sender_setting_info.h"
#include "tests/support/log_capture.h"
#include "tests/services/audio/fake_audio_source.h"
#include "tests/services/audio/udp_sink.h"
#include "tests/services/media_link/loopback_peer.h"

namespace crcp::audio {
namespace {

using namespace std::chrono_literals;
using testing_support::LogCapture;
using crcp::video::testing::LoopbackPeer;

std::string Setting(uint16_t cmd_port, uint16_t data_port, const std::string& codecs = R"(["opus"])",
                    int version = 1) {
  return R"({"cmdPort":)" + std::to_string(cmd_port) + R"(,"codec":)" + codecs +
         R"(,"dataPort":)" + std::to_string(data_port) +
         R"(,"version":)" + std::to_string(version) + "}";
}

struct SettingCase {
  const char* name;
  const char* text;
  bool valid;
  const char* log;
};

class CreateSettingTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(CreateSettingTest, ReadsExactlyTheReceiversMembers) {
  const SettingCase& c = GetParam();
  LogCapture::Get().Clear();
  const auto info = CreateSetting(c.text, "127.0.0.1");
  EXPECT_EQ(info != nullptr, c.valid);
  if (info) {
    EXPECT_EQ(info->cmdPort, 5000);
    EXPECT_EQ(info->dataPort, 5001);
    EXPECT_EQ(info->version, 1);
    EXPECT_EQ(info->address, "127.0.0.1");
    EXPECT_EQ(info->codec, (std::vector<std::string>{"pcm", "opus"}));
  } else {
    EXPECT_EQ(LogCapture::Get().Count(c.log), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CreateSettingTest,
    ::testing::Values(
        SettingCase{"Good", R"({"cmdPort":5000,"codec":["pcm","opus"],"dataPort":5001,"version":1})",
                    true, ""},
        SettingCase{"VersionZero", R"({"cmdPort":5000,"codec":["opus"],"dataPort":5001,"version":0})",
                    false, "receive version too low, required 1"},
        SettingCase{"NoCodec", R"({"cmdPort":5000,"dataPort":5001,"version":1})", false,
                    "json parse faile"},
        SettingCase{"CodecNotStrings", R"({"cmdPort":5000,"codec":[1],"dataPort":5001,"version":1})",
                    false, "json parse faile"},
        SettingCase{"PortTooLarge", R"({"cmdPort":70000,"codec":["opus"],"dataPort":5001,"version":1})",
                    false, "json parse faile"},
        SettingCase{"PortAsText", R"({"cmdPort":"5000","codec":["opus"],"dataPort":5001,"version":1})",
                    false, "json parse faile"},
        SettingCase{"NotJson", "{cmdPort", false, "json parse faile"}),
    [](const ::testing::TestParamInfo<SettingCase>& p) { return p.param.name; });

class AudioSenderServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { crcp::Config::Instance().SetBindAddress("127.0.0.1"); }
  void TearDown() override {
    service_.reset();
    crcp::Config::Instance().SetBindAddress("");
  }

  std::shared_ptr<FakeAudioSourceHandler> handler_ = std::make_shared<FakeAudioSourceHandler>();
  std::shared_ptr<AudioSenderService> service_ = std::make_shared<AudioSenderService>(handler_);
};

TEST_F(AudioSenderServiceTest, NamesAndOffer) {
  EXPECT_EQ(service_->GetServiceId(), "audio_mirror.c");
  EXPECT_EQ(service_->GetPeerServiceId(), "audio_mirror.s");
  EXPECT_EQ(service_->InitConnection("s1", "127.0.0.1"), R"({"version":1})");
  EXPECT_EQ(service_->GetController(), nullptr);  // not set up yet
}

TEST_F(AudioSenderServiceTest, SetupConnectsCommandLinkAndAimsDatagramsAtTheDataPort) {
  LoopbackPeer receiver;
  UdpSink data;
  service_->InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("s1", Setting(receiver.port(), data.port())));
  ASSERT_TRUE(receiver.Accept());
  auto controller = service_->GetController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(service_->GetController("s1"), controller);
  EXPECT_EQ(handler_->last()->starts(), 0);  // nothing captured before a start

  controller->Play(0);
  auto start = receiver.ReadPacket();
  ASSERT_TRUE(start);
  EXPECT_EQ(start->type, 1u);
  ASSERT_TRUE(receiver.WritePacket(101, R"({"repeatSend":1,"resultType":0})"));
  for (int i = 0; i < 200 && handler_->last()->starts() == 0; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(handler_->last()->starts(), 1);
  handler_->last()->Emit({9, 8, 7});
  const auto datagram = data.Receive();
  ASSERT_TRUE(datagram);
  EXPECT_EQ(datagram->size(), 19u);

  service_->Disconnect("s1");
  EXPECT_EQ(service_->GetController(), nullptr);
  EXPECT_EQ(handler_->last()->stops(), 1);
  // The controller the application still holds does nothing once the session is gone.
  controller->Play(0);
  controller->Teardown();
}

struct SetupFailure {
  const char* name;
  std::vector<std::string> codecs;  // the handler's
  bool fail_create;
  const char* setting_codecs;
  const char* log;
};

class AudioSetupFailureTest : public ::testing::TestWithParam<SetupFailure> {
 protected:
  void SetUp() override { crcp::Config::Instance().SetBindAddress("127.0.0.1"); }
  void TearDown() override { crcp::Config::Instance().SetBindAddress(""); }
};

TEST_P(AudioSetupFailureTest, FailsWithTheReasonLogged) {
  const SetupFailure& c = GetParam();
  LoopbackPeer receiver;
  auto service = std::make_shared<AudioSenderService>(
      std::make_shared<FakeAudioSourceHandler>(c.codecs, c.fail_create));
  LogCapture::Get().Clear();
  service->InitConnection("s1", "127.0.0.1");
  EXPECT_FALSE(service->SetupConnection("s1", Setting(receiver.port(), 9, c.setting_codecs)));
  EXPECT_EQ(LogCapture::Get().Count(c.log), 1u);
  EXPECT_EQ(LogCapture::Get().Count("sender session init faile"), 1u);
  EXPECT_EQ(service->GetController(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AudioSetupFailureTest,
    ::testing::Values(SetupFailure{"NoMatchingCodec", {"opus"}, false, R"(["aac","pcm"])",
                                   "can not get encodec name"},
                      SetupFailure{"SourceNotMade", {"opus"}, true, R"(["opus"])",
                                   "source create fail"}),
    [](const ::testing::TestParamInfo<SetupFailure>& p) { return p.param.name; });

TEST_F(AudioSenderServiceTest, SetupFailuresWithoutASessionOrLink) {
  LogCapture::Get().Clear();
  EXPECT_FALSE(service_->SetupConnection("s1", Setting(5000, 5001)));
  EXPECT_EQ(LogCapture::Get().Count("sender is not exist"), 1u);

  // A command port where nobody listens.
  uint16_t closed_port = 0;
  {
    LoopbackPeer gone;
    closed_port = gone.port();
  }
  service_->InitConnection("s1", "127.0.0.1");
  EXPECT_FALSE(service_->SetupConnection("s1", Setting(closed_port, 5001)));
  EXPECT_EQ(LogCapture::Get().Count("audio command connect tcp fail"), 1u);
  // The empty session stays: a later set-up may try again.
  LoopbackPeer receiver;
  EXPECT_TRUE(service_->SetupConnection("s1", Setting(receiver.port(), 5001)));
}

// Sessions are keyed by id: a stale session's Disconnect and a second session's launch
// leave the live audio alone.
TEST_F(AudioSenderServiceTest, OtherSessionsNeverTearDownTheLiveOne) {
  LoopbackPeer receiver;
  service_->InitConnection("live", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("live", Setting(receiver.port(), 5001)));
  ASSERT_TRUE(receiver.Accept());
  const auto controller = service_->GetController("live");
  ASSERT_NE(controller, nullptr);

  service_->Disconnect("stale");
  service_->InitConnection("other", "127.0.0.1");
  EXPECT_EQ(service_->GetController("live"), controller);
  // The live command link is still up: a start reaches the receiver.
  controller->Play(0);
  const auto start = receiver.ReadPacket();
  ASSERT_TRUE(start);
  EXPECT_EQ(start->type, 1u);

  service_->Disconnect("other");
  EXPECT_EQ(service_->GetController("live"), controller);
  service_->Shutdown();
  EXPECT_EQ(service_->GetController("live"), nullptr);
}

// A second launch under the id of a set-up session (a reconnect to the same receiver
// while it shares) leaves that session alone until the newcomer is set up: a launch
// that goes no further, or whose set-up fails, costs the live audio nothing; one that
// is set up replaces it.
TEST_F(AudioSenderServiceTest, SecondLaunchUnderTheSameIdReplacesOnlyOnceSetUp) {
  LoopbackPeer receiver;
  service_->InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("s1", Setting(receiver.port(), 5001)));
  ASSERT_TRUE(receiver.Accept());
  const auto live = service_->GetController("s1");
  ASSERT_NE(live, nullptr);

  uint16_t closed_port = 0;
  {
    LoopbackPeer gone;
    closed_port = gone.port();
  }
  service_->InitConnection("s1", "127.0.0.1");
  EXPECT_EQ(service_->GetController("s1"), live);
  EXPECT_FALSE(service_->SetupConnection("s1", Setting(closed_port, 5001)));
  EXPECT_EQ(service_->GetController("s1"), live);
  live->Play(0);
  const auto start = receiver.ReadPacket();
  ASSERT_TRUE(start) << "the live command link went";
  EXPECT_EQ(start->type, 1u);

  LoopbackPeer second;
  service_->InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("s1", Setting(second.port(), 5001)));
  ASSERT_TRUE(second.Accept());
  const auto fresh = service_->GetController("s1");
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, live);
  EXPECT_EQ(service_->GetController(), fresh);
  fresh->Play(0);
  ASSERT_TRUE(second.ReadPacket());
  service_->Disconnect("s1");
  EXPECT_EQ(service_->GetController("s1"), nullptr);
}

TEST_F(AudioSenderServiceTest, ListenerSetAfterSetupReachesTheSession) {
  class Listener : public ClientListener {
   public:
    void OnError(int code) override { last_error = code; }
    void OnPlay() override {}
    void OnTeardown() override {}
    std::atomic<int> last_error{0};
  };
  LoopbackPeer receiver;
  service_->InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("s1", Setting(receiver.port(), 5001)));
  ASSERT_TRUE(receiver.Accept());
  auto listener = std::make_shared<Listener>();
  service_->SetListener(listener);
  service_->GetController()->Play(0);
  ASSERT_TRUE(receiver.ReadPacket());
  ASSERT_TRUE(receiver.WritePacket(101, R"({"repeatSend":1,"resultType":7})"));
  for (int i = 0; i < 500 && listener->last_error == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(listener->last_error, 7);
}

}  // namespace
}  // namespace crcp::audio
