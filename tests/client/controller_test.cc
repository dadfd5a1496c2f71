// The Controller against the reference receiver on loopback: connects and their
// outcomes, a session that lacks a media service, heart-beat silence, a whole share and
// a teardown in the middle of one. Every result comes as a signal queued onto this
// (the GUI) thread, so each wait runs the event loop, bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include "client/controller.h"
#include "crcp/config.h"
#include "platform/audio/audio_system.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/simulator.h"
#include "services/remote_input/touch_device.h"
#include "tests/client/receiver_room.h"
#include "tests/support/log_capture.h"
#include "tests/support/qt_core_test_application.h"

// Reaches the Controller's constructor over a scripted input simulator.
class ControllerTestAccess {
 public:
  static std::unique_ptr<Controller> Make(QSize size, std::shared_ptr<crcp::ril::Simulator> simulator) {
    return std::unique_ptr<Controller>(new Controller(size, std::move(simulator)));
  }
};

namespace {

using std::chrono::milliseconds;
constexpr int kWaitMs = 10000;
constexpr milliseconds kWait{kWaitMs};

char kProgramName[] = "client_controller_test";
testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new testing_support::QtCoreTestApplication(kProgramName));

// Runs the event loop until `spy` has `count` entries or the bound passes.
bool WaitFor(QSignalSpy& spy, int count = 1, int timeout_ms = kWaitMs) {
  QElapsedTimer timer;
  timer.start();
  while (spy.count() < count) {
    const qint64 left = timeout_ms - timer.elapsed();
    if (left <= 0) return false;
    spy.wait(static_cast<int>(left));
  }
  return true;
}

// Runs the event loop until `done` holds or the bound passes (the Controller's queued
// calls run only while the loop does).
template <typename Predicate>
bool PumpUntil(Predicate done, int timeout_ms = kWaitMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() >= timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(milliseconds(2));
  }
  return true;
}

// Runs the event loop for a while, so that a signal that should not come had its chance.
void Settle(int ms = 300) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(milliseconds(5));
  }
}

using client_test::Offer;

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { room_.Open(); }

  void TearDown() override {
    controller_.reset();  // stops the protocol's workers and every service
    room_.Close();
  }

  void StartReceiver(Offer offer) { ASSERT_TRUE(room_.Start(offer)); }

  void MakeController() {
    controller_ = std::make_unique<Controller>(QSize(1920, 1080));
    MakeSpies();
  }

  void MakeSpies() {
    connected_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::Connected);
    disconnected_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::Disconnected);
    error_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::Error);
    video_toggled_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::MirrorVideoToggled);
    audio_toggled_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::MirrorAudioToggled);
    input_toggled_ = std::make_unique<QSignalSpy>(controller_.get(), &Controller::RemoteInputToggled);
  }

  // Connects to the receiver and waits for the outcome; true when it was Connected(true).
  bool ConnectAndWait() {
    const int before = connected_->count();
    controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
    if (!WaitFor(*connected_, before + 1)) return false;
    return connected_->at(before).at(0).toBool();
  }

  asio::io_context io_;
  client_test::ReceiverRoom room_;
  std::unique_ptr<receiver::SessionReceiver>& receiver_ = room_.receiver;
  std::shared_ptr<receiver::VideoSide>& video_ = room_.video;
  std::shared_ptr<receiver::AudioReceiver>& audio_ = room_.audio;
  std::shared_ptr<receiver::DeviceInfoSide>& info_ = room_.info;
  std::shared_ptr<receiver::RemoteInputSide>& input_ = room_.input;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<QSignalSpy> connected_, disconnected_, error_, video_toggled_, audio_toggled_,
      input_toggled_;
};

TEST_F(ControllerTest, RefusedPortReportsConnectedFalse) {
  MakeController();
  uint16_t port = 0;
  {
    // A port that was just free: nothing listens there.
    asio::ip::tcp::acceptor probe(io_, {asio::ip::make_address_v4("127.0.0.1"), 0});
    port = probe.local_endpoint().port();
  }
  controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", port);
  ASSERT_TRUE(WaitFor(*connected_));
  EXPECT_FALSE(connected_->at(0).at(0).toBool());
  Settle();
  EXPECT_EQ(connected_->count(), 1);
  EXPECT_EQ(disconnected_->count(), 0);
  // Not connected: the forwarders do nothing.
  EXPECT_FALSE(controller_->TeardownVideo());
  EXPECT_EQ(controller_->GetPeerInfo().device_name, "");
}

TEST_F(ControllerTest, VideoAndAudioOfferedConnectsAndNamesThePeer) {
  StartReceiver({});
  MakeController();
  EXPECT_TRUE(controller_->HasRemoteInput());
  ASSERT_TRUE(ConnectAndWait());
  EXPECT_EQ(controller_->GetPeerInfo().device_name, "Room 1");
  EXPECT_EQ(controller_->GetPeerInfo().version, "R.2.2.6.26");
  ASSERT_TRUE(receiver_->WaitForMessage(0, kWait));
  EXPECT_EQ(receiver_->WaitForMessage(0, kWait)->content["authKey"], "ABC123");
  ASSERT_TRUE(video_->WaitForConnections(1, 1, kWait));
  ASSERT_TRUE(audio_->WaitForCommandLink(kWait));

  // A local disconnect closes the session; its close comes back as Disconnected and
  // leaves the controller not connected.
  controller_->Disconnect();
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  ASSERT_TRUE(WaitFor(*disconnected_));
  EXPECT_FALSE(controller_->TeardownVideo());
  EXPECT_EQ(error_->count(), 0);
}

// A receiver that lacks one of the media services: the new session (not the stored,
// empty id) is closed, no Connected comes, and its close is reported.
TEST_F(ControllerTest, MissingMediaServiceClosesTheNewSession) {
  struct Case {
    const char* name;
    Offer offer;
  };
  const Case cases[] = {
      {"only device info", {false, false, true, false}},
      {"video without audio", {true, false, true, true}},
      {"audio without video", {false, true, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartReceiver(c.offer);
    MakeController();
    controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
    ASSERT_TRUE(WaitFor(*disconnected_));
    EXPECT_EQ(receiver_->ConnectionCount(), 1);
    EXPECT_TRUE(receiver_->WaitForClosed(kWait));
    Settle();
    EXPECT_EQ(connected_->count(), 0);
    EXPECT_EQ(error_->count(), 0);
    EXPECT_FALSE(controller_->TeardownVideo());
    TearDown();
    SetUp();
  }
}

TEST_F(ControllerTest, TouchDeviceAbsentLeavesRemoteInputOut) {
  StartReceiver({});
  // A HID bus without the virtual touch device: the simulator does not open.
  std::vector<std::unique_ptr<crcp::ril::IInputDevice>> devices;
  devices.push_back(std::make_unique<crcp::ril::TouchDevice>(
      platform::input::kNullWindow, std::make_shared<platform::input::SimHidBus>(),
      std::make_shared<platform::input::SimWindowSystem>()));
  devices.push_back(std::make_unique<crcp::ril::MouseDevice>(
      std::make_shared<platform::input::RecordingMouse>()));
  controller_ = ControllerTestAccess::Make(
      QSize(1920, 1080), std::make_shared<crcp::ril::Simulator>(1920, 1080, std::move(devices)));
  MakeSpies();
  EXPECT_FALSE(controller_->HasRemoteInput());

  // The rest of the service set still works; remote input is not launched.
  ASSERT_TRUE(ConnectAndWait());
  const auto launch = receiver_->WaitForMessage(4, kWait);
  ASSERT_TRUE(launch);
  EXPECT_FALSE(launch->content.contains("remote_input.s")) << launch->content.dump();
  controller_->StartRemoteInput();
  controller_->StopRemoteInput();
  Settle();
  EXPECT_EQ(input_toggled_->count(), 0);
  EXPECT_TRUE(input_->Controls().empty());
}

TEST_F(ControllerTest, HeartBeatSilenceReportsDisconnectedThenError) {
  StartReceiver({});
  MakeController();
  std::vector<std::string> order;
  QObject::connect(controller_.get(), &Controller::Disconnected, [&order] { order.push_back("disconnected"); });
  QObject::connect(controller_.get(), &Controller::Error, [&order] { order.push_back("error"); });
  controller_->SetTimeout(500);
  ASSERT_TRUE(ConnectAndWait());
  ASSERT_TRUE(receiver_->WaitForHeartBeats(2, kWait));

  // The receiver falls silent: no heart beats, no answer to the hello probe.
  receiver_->SetAnswerHello(false);
  receiver_->SetHeartBeatSending(false);
  ASSERT_TRUE(WaitFor(*error_));
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  ASSERT_TRUE(WaitFor(*disconnected_, 2));  // the error's, then the close's
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], "disconnected");
  EXPECT_EQ(order[1], "error");
  EXPECT_EQ(order[2], "disconnected");
  EXPECT_TRUE(receiver_->WaitForMessage(1, kWait)) << "a hello probe was sent first";
  // The closed session's controllers were dropped.
  EXPECT_FALSE(controller_->TeardownVideo());
}

// The receiver falls silent while another host goes on beating for it with the
// receiver's own sequence numbers: only the peer's beats count, so the session is
// probed and closed as if nobody beat, and the window goes back to the code entry.
TEST_F(ControllerTest, OnlyAStrangerBeatingClosesTheSession) {
  StartReceiver({});
  MakeController();
  controller_->SetTimeout(500);
  ASSERT_TRUE(ConnectAndWait());
  ASSERT_TRUE(receiver_->WaitForHeartBeats(2, kWait));

  receiver_->SetAnswerHello(false);
  receiver_->SetHeartBeatSource("127.0.0.2");
  const uint64_t before = receiver_->HeartBeatsSent();
  ASSERT_TRUE(WaitFor(*error_));
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  ASSERT_TRUE(WaitFor(*disconnected_, 2));
  EXPECT_TRUE(receiver_->WaitForMessage(1, kWait)) << "a hello probe was sent first";
  EXPECT_GT(receiver_->HeartBeatsSent(), before) << "the stranger did beat";
  EXPECT_FALSE(controller_->TeardownVideo());
}

// The receiver asks to start remote input and at once breaks the packet sequence: the
// session ends while the start is being answered; the process lives on and the window
// goes back to the code entry.
TEST_F(ControllerTest, StartRacingTheSessionsEndReportsDisconnected) {
  StartReceiver({});
  MakeController();
  ASSERT_TRUE(ConnectAndWait());
  ASSERT_TRUE(input_->WaitForLaunch(kWait));
  ASSERT_TRUE(input_->RequestStartThenBreakSequence());
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  ASSERT_TRUE(WaitFor(*disconnected_));
  EXPECT_FALSE(controller_->TeardownVideo());
}

TEST_F(ControllerTest, ASecondConnectWhilePendingIsRefusedAndTheLateSessionClosed) {
  StartReceiver({});
  receiver::AnswerScript silent;
  silent.reply = receiver::Reply::kSilent;
  receiver_->SetHandshakeScript(silent);
  MakeController();
  controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
  ASSERT_TRUE(receiver_->WaitForMessage(0, kWait));

  // The first connect is still waiting for its handshake answer.
  controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
  ASSERT_TRUE(WaitFor(*connected_));
  EXPECT_FALSE(connected_->at(0).at(0).toBool());

  // The first connect completes after all: nobody waits for it, so its session is
  // closed instead of being reported.
  receiver_->SetHandshakeScript({});
  ASSERT_TRUE(receiver_->SendMessage(100, receiver_->BuildHandshakeAnswer()));
  receiver_->SetHeartBeatSending(true);
  ASSERT_TRUE(receiver_->WaitForMessage(4, kWait));
  EXPECT_TRUE(PumpUntil([this] { return receiver_->WaitForClosed(milliseconds(0)); }));
  Settle();
  EXPECT_EQ(connected_->count(), 1);
  EXPECT_FALSE(controller_->TeardownVideo());

  // And the next connect goes through.
  ASSERT_TRUE(ConnectAndWait());
  EXPECT_EQ(controller_->GetPeerInfo().device_name, "Room 1");
}

// A session fails and the next connect starts as soon as the failure is reported, as
// the window allows: the failed session's close, which comes after, is an older
// session's. Reported, it would take the window off the connecting page and make it
// drop the session that connect opens.
TEST_F(ControllerTest, AFailedSessionsCloseDoesNotCancelTheNextConnect) {
  StartReceiver({});
  MakeController();
  controller_->SetTimeout(500);
  ASSERT_TRUE(ConnectAndWait());
  ASSERT_TRUE(receiver_->WaitForHeartBeats(2, kWait));
  receiver::AnswerScript silent;
  silent.reply = receiver::Reply::kSilent;
  QObject::connect(controller_.get(), &Controller::Error, [&] {
    receiver_->SetHandshakeScript(silent);  // the next connect waits for its answer
    controller_->SetTimeout(15000);
    controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
  });
  receiver_->SetAnswerHello(false);
  receiver_->SetHeartBeatSending(false);
  ASSERT_TRUE(WaitFor(*error_));
  ASSERT_TRUE(receiver_->WaitForMessage(0, kWait, 1)) << "the second handshake";
  // The failed session's close reaches the Controller while that connect is pending.
  ASSERT_TRUE(PumpUntil([] {
    return testing_support::LogCapture::Get().Count("closed while a newer connect is pending") > 0;
  }));
  receiver_->SetHandshakeScript({});
  receiver_->SetAnswerHello(true);
  ASSERT_TRUE(receiver_->SendMessage(100, receiver_->BuildHandshakeAnswer()));
  receiver_->SetHeartBeatSending(true);
  ASSERT_TRUE(WaitFor(*connected_, 2));
  EXPECT_TRUE(connected_->at(1).at(0).toBool());
  EXPECT_EQ(disconnected_->count(), 1) << "the failure's only";
  EXPECT_EQ(error_->count(), 1);
  EXPECT_EQ(controller_->GetPeerInfo().device_name, "Room 1");
}

TEST_F(ControllerTest, CancelledConnectReportsNothing) {
  StartReceiver({});
  receiver::AnswerScript silent;
  silent.reply = receiver::Reply::kSilent;
  receiver_->SetHandshakeScript(silent);
  MakeController();
  controller_->Connect(QStringLiteral("ABC123"), "127.0.0.1", receiver_->Port());
  ASSERT_TRUE(receiver_->WaitForMessage(0, kWait));
  controller_->Cancel();
  // An answer that comes after all (the connection may already be gone).
  receiver_->SetHandshakeScript({});
  receiver_->SendMessage(100, receiver_->BuildHandshakeAnswer());
  Settle(500);
  EXPECT_EQ(connected_->count(), 0);
  EXPECT_FALSE(controller_->TeardownVideo());

  ASSERT_TRUE(ConnectAndWait());
  EXPECT_EQ(controller_->GetPeerInfo().device_name, "Room 1");
}

TEST_F(ControllerTest, WholeShare) {
  StartReceiver({});
  MakeController();
  ASSERT_TRUE(ConnectAndWait());
  ASSERT_TRUE(video_->WaitForConnections(1, 1, kWait));

  // The window's options reach the video session.
  controller_->OnToggleKeepRatio(true);
  const auto aspect = video_->WaitForCommand(0x4, kWait);
  ASSERT_TRUE(aspect);
  EXPECT_EQ(aspect->body, R"({"keepAspectRatio":true})");
  controller_->OnToggleViceScreen(false);
  controller_->OnToggleCaptureMouse(true);
  controller_->OnToggleEnhanceVideoQuality(false);
  controller_->OnToggleEnableHardwareAcceleration(false);

  controller_->SetTimeout(15000);
  controller_->PlayVideo(kSingleScreenMirror);
  controller_->PlayAudio();
  const auto start = video_->WaitForCommand(0x1, kWait);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->body, R"({"codec":"h264","displayMode":1})");
  ASSERT_TRUE(WaitFor(*video_toggled_));
  EXPECT_TRUE(video_toggled_->at(0).at(0).toBool());
  ASSERT_TRUE(WaitFor(*audio_toggled_));
  EXPECT_TRUE(audio_toggled_->at(0).at(0).toBool());
  ASSERT_TRUE(audio_->WaitForCommand(1, kWait));
  ASSERT_TRUE(video_->WaitForSamples(10, kWait)) << "samples arrive at the receiver";

  // Touch: started by the client, accepted by the receiver.
  controller_->StartRemoteInput();
  ASSERT_TRUE(WaitFor(*input_toggled_));
  EXPECT_TRUE(input_toggled_->at(0).at(0).toBool());
  ASSERT_TRUE(input_->WaitForControl(0, kWait));

  // Stopping sharing keeps the session.
  controller_->StopRemoteInput();
  ASSERT_TRUE(WaitFor(*input_toggled_, 2));
  EXPECT_FALSE(input_toggled_->at(1).at(0).toBool());
  controller_->TeardownAudio();
  ASSERT_TRUE(WaitFor(*audio_toggled_, 2));
  EXPECT_FALSE(audio_toggled_->at(1).at(0).toBool());
  EXPECT_TRUE(controller_->TeardownVideo());
  ASSERT_TRUE(video_->WaitForCommand(0x3, kWait));
  EXPECT_TRUE(receiver_->IsConnected());

  // Sharing again; this time the receiver ends it, which the window hears of.
  controller_->PlayVideo(kJoinScreenMirror);
  ASSERT_TRUE(WaitFor(*video_toggled_, 2));
  EXPECT_TRUE(video_toggled_->at(1).at(0).toBool());
  ASSERT_TRUE(video_->WaitForSamples(video_->SampleCount() + 3, kWait));
  ASSERT_TRUE(video_->SendReceiverStop());
  ASSERT_TRUE(WaitFor(*video_toggled_, 3));
  EXPECT_FALSE(video_toggled_->at(2).at(0).toBool());
  EXPECT_FALSE(controller_->TeardownVideo()) << "already stopped";
  EXPECT_EQ(disconnected_->count(), 0);
  EXPECT_TRUE(audio_->StartFaults().empty());
}

// The receiver goes away in the middle of a share: Disconnected, and the controllers
// are dropped; then the Controller is destroyed while its services still stop.
TEST_F(ControllerTest, RemoteCloseWhileSharingThenDestruction) {
  StartReceiver({});
  MakeController();
  ASSERT_TRUE(ConnectAndWait());
  controller_->PlayVideo(kJoinScreenMirror);
  controller_->PlayAudio();
  ASSERT_TRUE(video_->WaitForSamples(3, kWait));
  receiver_->CloseConnection();
  ASSERT_TRUE(WaitFor(*disconnected_));
  EXPECT_FALSE(controller_->TeardownVideo());
  controller_->PlayVideo(kJoinScreenMirror);  // no controller: nothing happens
  controller_->TeardownAudio();

  // A second share, and the Controller destroyed with it running.
  ASSERT_TRUE(ConnectAndWait());
  controller_->PlayVideo(kSingleScreenMirror);
  ASSERT_TRUE(video_->WaitForSamples(video_->SampleCount() + 3, kWait));
  controller_.reset();
  EXPECT_TRUE(receiver_->WaitForClosed(kWait));
}

// Quitting (the Quit action, or a termination signal) destroys the Controller while it
// may share the sound: the local output, muted for the share, is unmuted on the way.
TEST_F(ControllerTest, DestructionWhileSharingSoundUnmutesTheOutput) {
  StartReceiver({});
  MakeController();
  ASSERT_TRUE(ConnectAndWait());
  controller_->PlayAudio();
  ASSERT_TRUE(WaitFor(*audio_toggled_));
  ASSERT_TRUE(audio_->WaitForCommand(1, kWait));
  auto system = platform::audio::SharedAudioSystem();
  bool muted = false;
  ASSERT_EQ(system->GetMute(&muted), platform::audio::AudioResult::kOk);
  EXPECT_TRUE(muted);
  controller_.reset();
  ASSERT_EQ(system->GetMute(&muted), platform::audio::AudioResult::kOk);
  EXPECT_FALSE(muted);
}

}  // namespace
