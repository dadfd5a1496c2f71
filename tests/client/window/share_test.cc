// The window over the Controller, as the program puts them together, against the
// reference receiver on loopback. A program of its own: the Controller's tests run
// under the thread sanitizer, and Qt's widgets are no instrumented code.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include <QTest>

#include "client/controller_factory.h"
#include "client/ui/castora.h"
#include "client/ui/interrupt_dialog.h"
#include "client/ui/mirror_button.h"
#include "client/ui/pin_code_page.h"
#include "crcp/config.h"
#include "tests/client/receiver_room.h"
#include "tests/support/qt_test_application.h"
#include "utils/logger.h"

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
    window_ = std::make_unique<Castora>(MakeController);
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

}  // namespace
