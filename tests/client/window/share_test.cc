// The window over the Controller, as the program puts them together, against the
// reference receiver on loopback. A program of its own: the Controller's tests run
// under the thread sanitizer, and Qt's widgets are no instrumented code.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <nlohmann/json.hpp>

#include <sys/inotify.h>
#include <unistd.h>

#include "client/controller.h"
#include "client/controller_factory.h"
#include "client/settings.h"
#include "client/ui/about.h"
#include "client/ui/castora.h"
#include "client/ui/interrupt_dialog.h"
#include "client/ui/mirror_button.h"
#include "client/ui/pin_code_page.h"
#include "crcp/config.h"
#include "platform/audio/audio_system.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "platform/session/session_message.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/simulator.h"
#include "services/remote_input/touch_device.h"
#include "tests/client/receiver_room.h"
#include "tests/support/qt_test_application.h"
#include "utils/logger.h"

// Reaches the Controller's constructor over a scripted input simulator.
class ControllerTestAccess {
 public:
  static std::unique_ptr<Controller> Make(QSize size, std::shared_ptr<crcp::ril::Simulator> simulator) {
    return std::unique_ptr<Controller>(new Controller(size, std::move(simulator)));
  }
};

namespace {

constexpr int kWaitMs = 10000;
constexpr std::chrono::milliseconds kWait{kWaitMs};

// A settings folder of its own: the options are those of a first start.
testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(
    new testing_support::QtTestApplication({"client_window_share_test", /*own_data_folder=*/true,
                                            /*quit_on_last_window_closed=*/false,
                                            [] { zorvax::utils::logger::Init("Castora"); }}));

// The window over the Controller, as the program runs them: every way a share ends
// leaves the window, the sound, the receiver's touches and the receiver in agreement,
// and the user a way on. Where the video service can go on (its command link works),
// the window is back on the function page of the same session; where it cannot, the
// session ends with the interruption notice and the window is back at the code entry.
class WindowShareTest : public ::testing::Test {
 protected:
  void SetUp() override { room_.Open(); }
  void TearDown() override {
    window_.reset();  // the Controller with it
    room_.Close();
  }

  void BuildWindow() {
    // The real Controller over a simulated touch device whose reports the test reads.
    hid_ = std::make_shared<platform::input::SimHidDevice>(
        platform::input::HidDeviceInfo{"sim:touch", 0x001F, 0xBA1C, 0xFF00, 0x01});
    window_ = std::make_unique<Castora>([hid = hid_](QSize size) -> std::unique_ptr<IController> {
      auto bus = std::make_shared<platform::input::SimHidBus>();
      bus->AddDevice(hid);
      std::vector<std::unique_ptr<crcp::ril::IInputDevice>> devices;
      devices.push_back(std::make_unique<crcp::ril::TouchDevice>(
          platform::input::kNullWindow, bus, std::make_shared<platform::input::SimWindowSystem>()));
      devices.push_back(std::make_unique<crcp::ril::MouseDevice>(
          std::make_shared<platform::input::RecordingMouse>()));
      return ControllerTestAccess::Make(size, std::make_shared<crcp::ril::Simulator>(1920, 1080, std::move(devices)));
    });
    window_->SetTrayCheck([] { return true; });
    window_->show();
  }
  bool OnPage(Castora::Page page) {
    return QTest::qWaitFor([&] { return window_->isVisible() && window_->CurrentPage() == page; }, kWaitMs);
  }
  // The code entry asks for the connection, as its "Connect" button does.
  bool ConnectWindow() {
    emit window_->findChild<PinCodePage*>(QStringLiteral("pin_code_page_"))
        ->Connect(QStringLiteral("ABC123"), QStringLiteral("127.0.0.1"), receiver_->Port(), false);
    return OnPage(Castora::kFunctionPage);
  }
  bool Share() {
    const size_t before = video_->SampleCount();
    window_->findChild<MirrorButton*>(QStringLiteral("single_mirror_btn_"))->click();
    return QTest::qWaitFor([&] { return window_->IsMirrored(); }, kWaitMs) &&
           video_->WaitForSamples(before + 3, kWait);
  }

  client_test::ReceiverRoom room_;
  std::unique_ptr<receiver::SessionReceiver>& receiver_ = room_.receiver;
  std::shared_ptr<receiver::VideoSide>& video_ = room_.video;
  std::shared_ptr<receiver::AudioReceiver>& audio_ = room_.audio;
  std::shared_ptr<receiver::DeviceInfoSide>& info_ = room_.info;
  std::shared_ptr<receiver::RemoteInputSide>& input_ = room_.input;
  // A touch from the receiver; true when it became a report of the touch device.
  bool TouchInjected() {
    const size_t before = hid_->Reports().size();
    input_->SendInputEvents(receiver::wire::TouchFrame({{0, 5, 1000, 600}}, 10, 1));
    input_->SendInputEvents(receiver::wire::TouchFrame({{0, -1, 0, 0}}, 11));
    return hid_->WaitForReports(before + 1, std::chrono::milliseconds(800));
  }
  static bool OutputMuted() {
    bool muted = false;
    platform::audio::SharedAudioSystem()->GetMute(&muted);
    return muted;
  }

  std::shared_ptr<platform::input::SimHidDevice> hid_;
  std::unique_ptr<Castora> window_;
};

TEST_F(WindowShareTest, EveryEndOfAShareLeavesAWayOn) {
  struct Case {
    const char* name;
    std::function<void(receiver::VideoSide&)> end;
    bool session_ends;
    bool notice;
  };
  const Case cases[] = {
      {"the receiver stops the share", [](receiver::VideoSide& v) { v.SendReceiverStop(); }, false, false},
      // -1400, which leaves the stream running; the stop after it ends the share.
      {"a zero resolution change, then the receiver's stop",
       [](receiver::VideoSide& v) {
         v.SendResolutionChange(0, 0);
         v.SendReceiverStop();
       },
       false, false},
      {"an answer refusing the running stream",
       [](receiver::VideoSide& v) {
         v.SendCommand(0x100, R"({"resultType":5,"screenHeight":720,"screenWidth":1280})");
       },
       false, true},
      {"the command link closed", [](receiver::VideoSide& v) { v.CloseCommandConnection(); }, true, true},
      {"garbage on the command link", [](receiver::VideoSide& v) { v.SendGarbage(); }, true, true},
      {"the data link closed under a write", [](receiver::VideoSide& v) { v.CloseDataConnection(); }, true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(room_.Start({}));
    BuildWindow();
    ASSERT_TRUE(ConnectWindow());
    // The weak-network option (on at a first start) holds from the connect on.
    EXPECT_EQ(crcp::Config::Instance().GetHeartBeatTimeout(), 30000);
    ASSERT_TRUE(Share());
    EXPECT_FALSE(window_->isVisible());
    ASSERT_TRUE(input_->WaitForControl(0, kWait)) << "touch started";
    ASSERT_TRUE(audio_->WaitForCommand(1, kWait)) << "sound started";

    c.end(*video_);
    ASSERT_TRUE(OnPage(c.session_ends ? Castora::kPinCodePage : Castora::kFunctionPage));
    EXPECT_FALSE(window_->IsMirrored());
    EXPECT_EQ(window_->interrupt_dialog()->isVisible(), c.notice);
    if (c.session_ends) {
      EXPECT_TRUE(receiver_->WaitForClosed(kWait));
      EXPECT_FALSE(window_->IsConnected());
      ASSERT_TRUE(ConnectWindow());
    } else {
      // The sound and the touches went with the video; the session stays.
      EXPECT_TRUE(input_->WaitForControl(2, kWait)) << "touch stopped";
      EXPECT_TRUE(audio_->WaitForCommand(2, kWait)) << "sound stopped";
      EXPECT_TRUE(receiver_->IsConnected());
      EXPECT_EQ(receiver_->ConnectionCount(), 1);
    }
    EXPECT_TRUE(Share()) << "sharing again";

    TearDown();
    SetUp();
  }
}

// The receiver acts only within the share the user started and the options the user
// set: each of its actions, on the function page, while sharing with touch on or off
// and after the user's stop, ends in the touch, the sound, the page and the outputs the
// user chose. While the desk is locked its video start is refused; after the unlock
// the same start shares. Its device name is shown as the text it is, whatever markup
// it holds: the picture such markup names is never opened.
TEST_F(WindowShareTest, TheReceiverActsOnlyWithinTheUsersShare) {
  enum Action {
    kInputStart,
    kSoundStart,
    kSoundAnswer,  // an audio start answer nobody asked for
    kVideoStart,
    kVideoStopThenStart,
    kLockedVideoStart,  // refused while locked; after the unlock, as kVideoStart
    kLockedVideoStopThenStart,
  };
  enum State { kFunctionPage, kSharingTouchOn, kSharingTouchOff, kAfterStop };
  struct Case {
    Action action;
    State state;
    bool touch;  // the receiver's touch (sent after the action) is injected
    bool sound;  // the sound is shared, the output muted for it
    bool sharing;
    // The receiver's device name (and version), with "%1" for a picture of the test's;
    // nullptr: the reference receiver's own.
    const char* device_name = nullptr;
  };
  const Case cases[] = {
      {kInputStart, kFunctionPage, false, false, false},
      {kInputStart, kSharingTouchOn, true, true, true},
      {kInputStart, kSharingTouchOff, false, true, true},
      {kSoundStart, kFunctionPage, false, false, false},
      {kSoundStart, kSharingTouchOn, true, true, true},
      {kSoundStart, kSharingTouchOff, false, true, true},
      {kVideoStart, kFunctionPage, true, true, true},
      {kVideoStart, kSharingTouchOn, true, true, true},
      {kVideoStart, kSharingTouchOff, false, true, true},
      {kVideoStopThenStart, kFunctionPage, true, true, true},
      {kVideoStopThenStart, kSharingTouchOn, true, true, true},
      {kVideoStopThenStart, kSharingTouchOff, false, true, true},
      {kSoundAnswer, kFunctionPage, false, false, false},
      {kSoundAnswer, kAfterStop, false, false, false},
      {kLockedVideoStart, kFunctionPage, true, true, true},
      {kLockedVideoStart, kSharingTouchOn, true, true, true},
      {kLockedVideoStopThenStart, kSharingTouchOff, false, true, true},
      {kVideoStart, kFunctionPage, true, true, true, R"(<b>Room</b> <img src="%1">)"},
      {kVideoStart, kFunctionPage, true, true, true, R"(<i>Room &amp 2 </b><img src="%1" <table><td>< 3 &#)"},
  };
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString picture = folder.filePath(QStringLiteral("room.png"));
  QImage image(2, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(picture));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "action " << c.action << ", state " << c.state << ", name "
                                    << (c.device_name ? c.device_name : "-"));
    Settings::SetEnableTouch(c.state != kSharingTouchOff);
    std::optional<nlohmann::json> device_info;
    const std::string name =
        c.device_name ? QString::fromUtf8(c.device_name).arg(picture).toStdString() : std::string("Room 1");
    if (c.device_name) {
      device_info = nlohmann::json{{"deviceName", name}, {"osName", "Android"}, {"osVersion", "11"},
                                         {"version", name}};
    }
    // Any open of the picture, by whoever.
    const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(opens, 0);
    ASSERT_GE(inotify_add_watch(opens, picture.toLocal8Bit().constData(), IN_OPEN | IN_ACCESS), 0);
    ASSERT_TRUE(room_.Start({}, device_info));
    BuildWindow();
    ASSERT_TRUE(ConnectWindow());
    // The title row and About laid out and painted with the receiver's texts.
    window_->grab();
    window_->about()->ShowOver();
    window_->about()->grab();
    window_->about()->hide();
    const bool shared_before = c.state != kFunctionPage;
    if (shared_before) {
      ASSERT_TRUE(Share());
      ASSERT_TRUE(audio_->WaitForCommand(1, kWait));
      if (c.state == kSharingTouchOn) {
        ASSERT_TRUE(input_->WaitForControl(0, kWait));
      }
    }
    if (c.state == kAfterStop) {
      window_->findChild<QPushButton*>(QStringLiteral("stop_btn_"))->click();
      ASSERT_TRUE(audio_->WaitForCommand(2, kWait)) << "sound stopped";
      ASSERT_TRUE(OnPage(Castora::kFunctionPage));
      QTest::qWait(300);
    }
    const bool locked = c.action == kLockedVideoStart || c.action == kLockedVideoStopThenStart;
    if (locked) {
      window_->HandleSessionMessage(platform::session::kWmWtsSessionChange, platform::session::kWtsSessionLock);
      ASSERT_TRUE(OnPage(Castora::kFunctionPage));
      if (c.action == kLockedVideoStopThenStart) {
        ASSERT_TRUE(video_->SendReceiverStop());
        ASSERT_TRUE(video_->WaitForCommand(0x5300, kWait));
      }
      ASSERT_TRUE(video_->SendReceiverStart(1));
      const auto refused = video_->WaitForCommand(0x5100, kWait);
      ASSERT_TRUE(refused);
      EXPECT_EQ(refused->json, nlohmann::json({{"resultType", -1500}}));
      QTest::qWait(300);
      EXPECT_FALSE(window_->IsMirrored());
      EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
      EXPECT_TRUE(window_->isVisible());
      EXPECT_FALSE(OutputMuted()) << "the output stays as it is";
      EXPECT_FALSE(TouchInjected());
      EXPECT_FALSE(audio_->WaitForCommand(1, std::chrono::milliseconds(300), shared_before ? 1 : 0));
      EXPECT_FALSE(video_->WaitForCommand(0x1, std::chrono::milliseconds(1), shared_before ? 1 : 0));
      window_->HandleSessionMessage(platform::session::kWmWtsSessionChange, platform::session::kWtsSessionUnlock);
    }
    const uint64_t datagrams = audio_->GetStats().datagrams;
    const size_t client_starts = input_->Controls().size();
    switch (c.action) {
      case kInputStart:
        ASSERT_TRUE(input_->RequestStart());
        ASSERT_TRUE(input_->WaitForControl(100, kWait));
        break;
      case kSoundStart:
        ASSERT_TRUE(audio_->SendReceiverStart(0));
        QTest::qWait(300);
        break;
      case kSoundAnswer:
        ASSERT_TRUE(audio_->SendCommand(101, R"({"repeatSend":1,"resultType":0})"));
        QTest::qWait(300);
        break;
      case kVideoStopThenStart:
        ASSERT_TRUE(video_->SendReceiverStop());
        ASSERT_TRUE(video_->WaitForCommand(0x5300, kWait));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->IsMirrored(); }, kWaitMs));
        [[fallthrough]];
      case kVideoStart:
      case kLockedVideoStart:
      case kLockedVideoStopThenStart:
        ASSERT_TRUE(video_->SendReceiverStart(1));
        break;
    }
    if (c.sharing) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return window_->IsMirrored(); }, kWaitMs));
      EXPECT_EQ(window_->CurrentPage(), Castora::kMirrorPage);
      EXPECT_TRUE(video_->WaitForSamples(video_->SampleCount() + 3, kWait));
      // A share the receiver (re)started has the client start touch anew.
      const bool restarted =
          c.action == kVideoStopThenStart || locked || (c.action == kVideoStart && !shared_before);
      if (c.touch && restarted) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return input_->Controls().size() > client_starts; }, kWaitMs));
      }
    } else {
      QTest::qWait(300);
      EXPECT_FALSE(window_->IsMirrored());
      EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
    }
    EXPECT_EQ(TouchInjected(), c.touch);
    // A share the receiver restarted starts the sound again.
    const size_t sound_starts = (c.action == kVideoStopThenStart || locked) && shared_before ? 2 : 1;
    if (c.sound) {
      EXPECT_TRUE(audio_->WaitForCommand(1, kWait, sound_starts - 1)) << "sound started";
      EXPECT_TRUE(QTest::qWaitFor([] { return OutputMuted(); }, kWaitMs)) << "muted for the share";
    } else {
      EXPECT_FALSE(audio_->WaitForCommand(1, std::chrono::milliseconds(300), shared_before ? 1 : 0))
          << "no sound start";
      QTest::qWait(700);
      EXPECT_EQ(audio_->GetStats().datagrams, datagrams) << "no sound sent";
      EXPECT_FALSE(OutputMuted()) << "the output stays as it is";
    }
    EXPECT_TRUE(receiver_->IsConnected());
    const QString shown = window_->findChild<QLabel*>(QStringLiteral("status_label_"))->text();
    EXPECT_EQ(shown.toStdString(), name) << "the title row shows the name as sent";
    if (c.device_name) {
      EXPECT_TRUE(window_->about()->DetailText().contains(QString::fromStdString(name).toHtmlEscaped()));
    }
    char event_buffer[4096];
    EXPECT_LT(read(opens, event_buffer, sizeof event_buffer), 0) << "the picture was opened";
    close(opens);

    TearDown();
    SetUp();
  }
  Settings::SetEnableTouch(true);
}

// A share start the receiver leaves unanswered ends as a refused one does, and a lock
// while it waits leaves the function page: neither a late answer nor a click after
// that shows this desk to anyone but the user who asked, and a start never answered at
// all costs the user's next share nothing.
TEST_F(WindowShareTest, AnUnansweredStartEndsAndALockCallsItOff) {
  const char* accepted = R"({"resultType":0,"screenHeight":720,"screenWidth":1280})";
  struct Case {
    const char* name;
    bool lock;
    bool late_answer;
    bool unlock;  // before the click; without it the click itself ends the lock
  };
  const Case cases[] = {
      {"the start unanswered", false, true, false},
      {"a lock while the start waits", true, true, false},
      {"a lock, the start never answered, the unlock", true, false, true},
  };
  for (const Case& c : cases) {
    const bool lock = c.lock;
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(room_.Start({}));
    video_->SetStartAnswer(std::nullopt, 1280, 720);
    BuildWindow();
    window_->SetShareStartTimeout(lock ? 60000 : 1500);
    ASSERT_TRUE(ConnectWindow());
    window_->findChild<MirrorButton*>(QStringLiteral("single_mirror_btn_"))->click();
    ASSERT_TRUE(video_->WaitForCommand(0x1, kWait));
    if (lock) {
      window_->HandleSessionMessage(platform::session::kWmWtsSessionChange, platform::session::kWtsSessionLock);
      EXPECT_FALSE(window_->interrupt_dialog()->isVisible());
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return window_->interrupt_dialog()->isVisible(); }, kWaitMs));
    }
    ASSERT_TRUE(OnPage(Castora::kFunctionPage));

    if (c.late_answer) {
      // The late answer: torn down at once, nothing of it is shown or sent.
      ASSERT_TRUE(video_->SendCommand(0x100, accepted));
      ASSERT_TRUE(video_->WaitForCommand(0x3, kWait));
    }
    if (c.unlock) {
      window_->HandleSessionMessage(platform::session::kWmWtsSessionChange, platform::session::kWtsSessionUnlock);
    }
    QTest::qWait(300);
    EXPECT_FALSE(window_->IsMirrored());
    EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
    EXPECT_EQ(video_->SampleCount(), 0u);
    EXPECT_FALSE(OutputMuted());

    // The next click sends a new start, and its answer shares.
    video_->SetStartAnswer(0, 1280, 720);
    EXPECT_TRUE(Share()) << "sharing again";
    EXPECT_TRUE(video_->WaitForCommand(0x1, kWait, 1));
    // And it stays up: no stop follows the answer to the new start.
    EXPECT_FALSE(video_->WaitForCommand(0x3, std::chrono::milliseconds(1000), c.late_answer ? 1 : 0));
    EXPECT_TRUE(window_->IsMirrored());
    EXPECT_TRUE(audio_->WaitForCommand(1, kWait)) << "the sound of the share";

    TearDown();
    SetUp();
  }
}

}  // namespace
