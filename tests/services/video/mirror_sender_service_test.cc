#include "services/video/mirror_sender_service.h"

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "services/video/mirror_sender_session_impl.h"
#include "services/media_link/sender_setting_info.h"
#include "tests/receiver/video_side.h"
#include "tests/services/video/fake_video_source.h"
#include "tests/support/event_recorder.h"
#include "tests/support/log_capture.h"

namespace crcp::video {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
constexpr milliseconds kWait{5000};

TEST(SenderSetting, Table) {
  struct Case {
    std::string text;
    bool ok;
  };
  const std::vector<Case> cases = {
      {R"({"cmdPort":7001,"codec":["vp9","h264"],"dataPort":7002,"version":1})", true},
      {R"({"cmdPort":7001,"codec":[],"dataPort":7002,"version":3})", true},
      {R"({"cmdPort":7001,"codec":["h264"],"dataPort":7002,"version":0})", false},  // too old
      {R"({"cmdPort":7001,"dataPort":7002,"version":1})", false},                   // no codec
      {R"({"cmdPort":7001,"codec":"h264","dataPort":7002,"version":1})", false},    // not a list
      {R"({"cmdPort":7001,"codec":[264],"dataPort":7002,"version":1})", false},
      {R"({"cmdPort":70001,"codec":["h264"],"dataPort":7002,"version":1})", false},  // beyond u16
      {R"({"cmdPort":-1,"codec":["h264"],"dataPort":7002,"version":1})", false},
      {R"({"cmdPort":"7001","codec":["h264"],"dataPort":7002,"version":1})", false},
      {R"({"cmdPort":7001,"codec":["h264"],"dataPort":7002,"version":1.5})", false},
      {R"([1,2])", false},
      {R"({"cmdPort":7001,)", false},
      // Nesting counts the setting object itself: 64 levels in all pass, 65 are refused
      // before any tree is built, whatever the members.
      {R"({"cmdPort":7001,"codec":["h264"],"dataPort":7002,"version":1,"x":)" +
           std::string(63, '[') + std::string(63, ']') + "}",
       true},
      {R"({"cmdPort":7001,"codec":["h264"],"dataPort":7002,"version":1,"x":)" +
           std::string(64, '[') + std::string(64, ']') + "}",
       false},
  };
  for (const auto& c : cases) {
    const auto setting = CreateSetting("127.0.0.1", c.text);
    EXPECT_EQ(static_cast<bool>(setting), c.ok) << c.text;
  }
  const auto setting = CreateSetting("127.0.0.1", cases[0].text);
  ASSERT_TRUE(setting);
  EXPECT_EQ(setting->cmdPort, 7001);
  EXPECT_EQ(setting->dataPort, 7002);
  EXPECT_EQ(setting->version, 1);
  EXPECT_EQ(setting->address, "127.0.0.1");
  EXPECT_EQ(setting->codec, (std::vector<std::string>{"vp9", "h264"}));
}

class Events : public ClientListener, public testing_support::EventRecorder {
 public:
  Events() : EventRecorder(kWait) {}
  void OnError(const std::string& id, int code) override { Add(id + " error " + std::to_string(code)); }
  void OnPlay(const std::string& id) override { Add(id + " play"); }
  void OnPause(const std::string& id) override { Add(id + " pause"); }
  void OnTeardown(const std::string& id) override { Add(id + " teardown"); }
};

// The service over a recording pipeline, against the receiver's video side.
class MirrorSenderServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = std::make_shared<testing::FakeVideoSource>();
    service_ = std::make_shared<MirrorSenderService>(source_, std::make_shared<ScreenUtils>(nullptr, false));
    service_->SetListener(events_);
    ASSERT_EQ(source_->controllers.size(), 1u);
    source_->controllers[0]->run_sink = true;
    ASSERT_TRUE(side_.Start());
  }
  void TearDown() override {
    service_.reset();
    side_.Stop();
  }

  std::string Setting(std::vector<std::string> codecs, std::optional<uint16_t> cmd_port = std::nullopt) {
    return json{{"cmdPort", cmd_port ? *cmd_port : side_.CommandPort()},
                {"codec", codecs},
                {"dataPort", side_.DataPort()},
                {"version", 1}}
        .dump();
  }

  // Sets a session up and starts mirroring.
  std::shared_ptr<MirrorSenderSession::IController> Playing(const std::string& id) {
    EXPECT_EQ(service_->InitConnection(id, "127.0.0.1"), R"({"version":1})");
    EXPECT_TRUE(service_->SetupConnection(id, Setting({"h264"})));
    auto controller = service_->GetController(id);
    EXPECT_TRUE(controller);
    if (!controller) return nullptr;
    controller->Play(1);
    EXPECT_EQ(events_->Next(), id + " play");
    EXPECT_TRUE(side_.WaitForSamples(5, kWait));
    return controller;
  }

  std::shared_ptr<testing::FakeVideoSource> source_;
  std::shared_ptr<MirrorSenderService> service_;
  std::shared_ptr<Events> events_ = std::make_shared<Events>();
  receiver::VideoSide side_;
};

TEST_F(MirrorSenderServiceTest, NamesAndOffer) {
  EXPECT_EQ(service_->GetServiceId(), "video_mirror.c");
  EXPECT_EQ(service_->GetPeerServiceId(), "video_mirror.s");
  EXPECT_EQ(service_->InitConnection("s1", "127.0.0.1"), R"({"version":1})");
  // Twice for one id: the session is replaced.
  EXPECT_EQ(service_->InitConnection("s1", "127.0.0.1"), R"({"version":1})");
  service_->Disconnect("unknown");
  EXPECT_FALSE(service_->GetController("unknown"));
  EXPECT_FALSE(service_->SetupConnection("unknown", Setting({"h264"})));
}

TEST_F(MirrorSenderServiceTest, CodecNegotiation) {
  service_->InitConnection("s1", "127.0.0.1");
  EXPECT_TRUE(service_->SetupConnection("s1", Setting({"vp9", "h264"})));
  EXPECT_TRUE(service_->GetController("s1"));
  EXPECT_TRUE(side_.WaitForConnections(1, 1, kWait));

  // Nothing in common: no connection is made at all.
  service_->InitConnection("s2", "127.0.0.1");
  EXPECT_FALSE(service_->SetupConnection("s2", Setting({"vp9"})));
  EXPECT_FALSE(service_->GetController("s2"));
  EXPECT_EQ(side_.DataConnections(), 1);
  EXPECT_EQ(side_.CommandConnections(), 1);

  service_->InitConnection("s3", "127.0.0.1");
  EXPECT_FALSE(service_->SetupConnection(
      "s3", json{{"cmdPort", 1}, {"codec", {"h264"}}, {"dataPort", 2}, {"version", 0}}.dump()));
}

// Data first, then commands; a refused command connection closes the data connection
// that was already made, and the session is left without a controller.
TEST_F(MirrorSenderServiceTest, RefusedCommandPortReleasesTheDataConnection) {
  uint16_t closed_port = 0;
  {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
    closed_port = probe.local_endpoint().port();
  }
  service_->InitConnection("s1", "127.0.0.1");
  EXPECT_FALSE(service_->SetupConnection("s1", Setting({"h264"}, closed_port)));
  EXPECT_TRUE(side_.WaitForConnections(0, 1, kWait));
  EXPECT_TRUE(side_.WaitForDataClosed(kWait));
  EXPECT_FALSE(service_->GetController("s1"));
}

// Each session connects to the address its own crcp session reported.
TEST_F(MirrorSenderServiceTest, AddressIsPerSession) {
  service_->InitConnection("s1", "127.0.0.1");
  service_->InitConnection("s2", "127.0.0.2");
  EXPECT_TRUE(service_->SetupConnection("s1", Setting({"h264"})));
}

TEST_F(MirrorSenderServiceTest, QuickPauseAndResumeKeepsStreaming) {
  auto controller = Playing("s1");
  ASSERT_TRUE(controller);
  EXPECT_TRUE(controller->Pause());
  EXPECT_EQ(events_->Next(), "s1 pause");
  controller->Play(1);
  EXPECT_EQ(events_->Next(), "s1 play");
  const size_t resumed = side_.SampleCount();
  EXPECT_TRUE(side_.WaitForSamples(resumed + 20, kWait)) << "no video after the resume";
  EXPECT_TRUE(controller->Teardown());
  service_->Disconnect("s1");
  EXPECT_FALSE(controller->Teardown());
  EXPECT_FALSE(source_->controllers[0]->Calls().empty());
}

// The options act on the shared pipeline, each as a pause-change-resume, whether or
// not mirroring has started; the extended screen is only chosen before the start.
TEST_F(MirrorSenderServiceTest, ControllerOptions) {
  service_->InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(service_->SetupConnection("s1", Setting({"h264"})));
  auto controller = service_->GetController("s1");
  ASSERT_TRUE(controller);
  auto& pipeline = *source_->controllers[0];
  pipeline.ClearCalls();
  controller->EnableHDMode(true);
  controller->EnableHWAccel(false);
  controller->SetCaptureCursor(false);
  controller->ChooseScreenNum(true);
  EXPECT_EQ(pipeline.Calls(), (std::vector<std::string>{
                                  "Pause", "SetQualityMode 1", "Resume",       //
                                  "Pause", "SetHardwareEnabled 0", "Resume",   //
                                  "Pause", "SetDrawCursor 0", "Resume",        //
                                  "Pause", "Resume"}));
  EXPECT_TRUE(service_->source_manager()->GetSourceController("h264")->IsExtend());
  controller->ChooseScreenNum(false);

  controller->KeepAspectRatio(false);
  const auto aspect = side_.WaitForCommand(0x4, kWait);
  ASSERT_TRUE(aspect);
  EXPECT_EQ(aspect->body, R"({"keepAspectRatio":false})");
  // Nothing to pause or stop before the start.
  EXPECT_FALSE(controller->Pause());
  EXPECT_FALSE(controller->Teardown());
}

// Whether an error ended the stream, as the application asks after one: an answer to
// a start that refuses the stream or sizes it at zero leaves it stopped, a malformed command of
// the receiver's does not; a released session is stopped.
TEST_F(MirrorSenderServiceTest, IsStoppedTellsWhetherAnErrorEndedTheStream) {
  struct Case {
    const char* name;
    uint16_t id;
    const char* body;
    int code;
    bool stopped;
  };
  const Case cases[] = {
      {"zero resolution change", 0x54, R"({"screenHeight":0,"screenWidth":0})", kResultZeroSize, false},
      {"unparsable resolution change", 0x54, "{", kResultParseError, false},
      {"receiver start with a negative mode", 0x51, R"({"displayMode":-1})", kResultIllegalMode, false},
      {"start answer refusing", 0x100, R"({"resultType":5,"screenHeight":720,"screenWidth":1280})", 5, true},
      {"start answer of zero width", 0x100, R"({"resultType":0,"screenHeight":720,"screenWidth":0})",
       kResultZeroSize, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string id = "s" + std::to_string(++n);
    auto controller = Playing(id);
    ASSERT_TRUE(controller);
    EXPECT_FALSE(controller->IsStopped());
    if (c.id == 0x100) {
      // An answer counts only for a start that waits for it: the next start gets this one.
      controller->Teardown();
      side_.SetStartAnswerText(std::string(c.body));
      controller->Play(1);
    } else {
      ASSERT_TRUE(side_.SendCommand(c.id, c.body));
    }
    EXPECT_EQ(events_->Next(), id + " error " + std::to_string(c.code));
    EXPECT_EQ(controller->IsStopped(), c.stopped);
    side_.SetStartAnswerText(std::nullopt);
    service_->Disconnect(id);
    EXPECT_TRUE(controller->IsStopped());
  }
}

// A receiver whose data connection breaks: the sender stops writing and says so.
TEST_F(MirrorSenderServiceTest, DataWriteErrorStopsTheSender) {
  auto controller = Playing("s1");
  ASSERT_TRUE(controller);
  side_.CloseDataConnection();
  EXPECT_EQ(events_->Next(), "s1 error " + std::to_string(kResultDataWriteFailed));
  // The pipeline was left by the only consumer.
  auto global = service_->source_manager()->GetSourceController("h264");
  for (int i = 0; i < 500 && global->IsRunning(); ++i) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(global->IsRunning());
  EXPECT_TRUE(controller->Teardown());
}

// A broken command link stops the stream and reports the error.
TEST_F(MirrorSenderServiceTest, CommandLinkErrorStopsTheStream) {
  auto controller = Playing("s1");
  ASSERT_TRUE(controller);
  side_.CloseCommandConnection();
  EXPECT_EQ(events_->Next(), "s1 error " + std::to_string(kResultLinkLost));
  EXPECT_FALSE(service_->source_manager()->GetSourceController("h264")->IsRunning());
}

// A second launch under one id: beside a set-up session it waits, as planned for a
// reconnect to the same receiver, and the duplicate is only noted; a session never
// set up is replaced, which is logged as the fault it is.
TEST(MirrorSenderServiceSameId, SecondLaunchWaitsBesideASetUpSessionOrReplacesAnother) {
  const struct {
    bool set_up;
    const char* level;
  } cases[] = {{true, "info"}, {false, "error"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set_up ? "set up" : "not set up");
    // Added before the service's threads exist and removed after they have ended.
    testing_support::ScopedLogCapture log;
    {
      receiver::VideoSide side;
      ASSERT_TRUE(side.Start());
      auto source = std::make_shared<testing::FakeVideoSource>();
      auto service = std::make_shared<MirrorSenderService>(
          source, std::make_shared<ScreenUtils>(nullptr, false));
      const std::string setting = json{{"cmdPort", side.CommandPort()},
                                       {"codec", {"h264"}},
                                       {"dataPort", side.DataPort()},
                                       {"version", 1}}
                                      .dump();
      service->InitConnection("s1", "127.0.0.1");
      if (c.set_up) {
        ASSERT_TRUE(service->SetupConnection("s1", setting));
      }
      const auto live = service->GetController("s1");
      service->InitConnection("s1", "127.0.0.1");
      EXPECT_EQ(service->GetController("s1"), live);
      EXPECT_TRUE(service->SetupConnection("s1", setting)) << "the newcomer is gone";
      const auto fresh = service->GetController("s1");
      EXPECT_TRUE(fresh);
      EXPECT_NE(fresh, live);
      service.reset();
      side.Stop();
    }
    std::vector<std::string> levels;
    std::istringstream lines(log.Text());
    for (std::string line; std::getline(lines, line);) {
      if (line.find("RegisterSession Session is exist!!OAO") != std::string::npos)
        levels.push_back(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(levels, (std::vector<std::string>{c.level}));
  }
}

}  // namespace
}  // namespace crcp::video
