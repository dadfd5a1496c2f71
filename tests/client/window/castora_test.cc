// The main window driven through the Controller's signals, with the fake Controller
// recording what the window asks of it.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/settings.h"
#include "client/ui/about.h"
#include "client/ui/castora.h"
#include "client/ui/close_dialog.h"
#include "client/ui/function_page.h"
#include "client/ui/interrupt_dialog.h"
#include "client/ui/mirror_button.h"
#include "client/ui/pin_code_edit.h"
#include "client/ui/pin_code_page.h"
#include "client/ui/shadow_menu.h"
#include "client/ui/tip_dialog.h"
#include "platform/session/session_message.h"
#include "tests/client/window/fake_controller.h"
#include "utils/dpi_scale.h"

namespace {

using Calls = std::vector<std::string>;

// The options as they stand after a first start.
void ResetSettings() {
  Settings::SetAutoMirror(false);
  Settings::SetOpenViceScreen(false);
  Settings::SetKeepAspectRatio(false);
  Settings::SetCaptureMouse(true);
  Settings::SetEnableTouch(true);
  Settings::SetEnhanceVideoQuality(false);
  Settings::SetEnableHardwareAcceleration(true);
  Settings::SetWeakNetwork(true);
  Settings::SetPinCodeLen(6);
}

QAction* ActionIn(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

// Runs the application's event loop, does `action` in it, and returns 0 when that
// quit the application, 1 when the loop ran into its limit. (The application's own
// loop, not a local one: a quit outside QCoreApplication::exec would leave every
// later local loop ending at once.)
template <typename Action>
int RunApplication(Action action) {
  QTimer::singleShot(0, qApp, action);
  // A timer of this call alone: left pending, it would quit a later test's loop.
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  limit.start(300);
  return QCoreApplication::exec();
}

class CastoraTest : public testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }

  void Build() {
    window_ = std::make_unique<Castora>(MakeFakeController);
    fake_ = LastFakeController();
    ASSERT_NE(fake_, nullptr);
    fake_->Take();
    window_->SetTrayCheck([this] { return tray_; });
    window_->show();
  }

  IController& controller() { return window_->controller(); }
  template <typename T>
  T* Find(const char* name) {
    return window_->findChild<T*>(QString::fromLatin1(name));
  }
  QString Status() { return Find<QLabel>("status_label_")->text(); }
  bool DisconnectShown() { return !Find<QPushButton>("disconnect_btn_")->isHidden(); }

  // The pin-code page asks for a connection, as its "Connect" button does.
  void AskToConnect(bool auto_mirror = false) {
    emit Find<PinCodePage>("pin_code_page_")->Connect(QStringLiteral("CEGH2C"), QStringLiteral("192.168.1.20"), 7386,
                                                      auto_mirror);
  }
  void ConnectAndShare() {
    AskToConnect();
    emit controller().Connected(true);
    Find<MirrorButton>("single_mirror_btn_")->click();
    emit controller().MirrorVideoToggled(true);
    fake_->Take();
  }

  std::unique_ptr<Castora> window_;
  FakeControllerState* fake_ = nullptr;
  bool tray_ = true;  // whether a system tray shows the icon
};

TEST_F(CastoraTest, FormAndTitleRowBeforeAnyConnection) {
  Build();
  EXPECT_EQ(window_->objectName(), QStringLiteral("MainWindow"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Davuvu Veriv"));
  EXPECT_TRUE(window_->windowFlags() & Qt::FramelessWindowHint);
  // 820 x 620 at 96 DPI, scaled once for 144 DPI.
  EXPECT_EQ(window_->minimumSize(), QSize(1230, 930));
  EXPECT_EQ(window_->maximumSize(), QSize(1230, 930));
  EXPECT_EQ(Find<QWidget>("window_")->maximumSize(), QSize(1200, 900));
  // The sheets were scaled once: 14px of the title text at 1.5 is 21px, not 32px.
  EXPECT_TRUE(window_->styleSheet().contains(QStringLiteral("font-size: 21px")));
  EXPECT_TRUE(window_->option_menu()->styleSheet().contains(QStringLiteral("border-width: 30px")));
  EXPECT_TRUE(window_->about()->styleSheet().contains(QStringLiteral("font-size: 24px")));
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  EXPECT_EQ(Status(), QStringLiteral("Unconnected tip"));
  EXPECT_FALSE(DisconnectShown());
  for (const char* name : {"pin_code_page_", "connect_page_", "failure_page_", "function_page_", "mirror_page_",
                           "layout_", "icon_label_", "option_btn_", "minimize_btn_", "close_btn_"})
    EXPECT_NE(window_->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(Find<QWidget>("option_btn_")->focusPolicy(), Qt::NoFocus);
  for (QWidget* overlay : std::initializer_list<QWidget*>{window_->about(), window_->close_dialog(),
                                                          window_->interrupt_dialog(), window_->tip_dialog()})
    EXPECT_TRUE(overlay->isHidden());
  EXPECT_TRUE(window_->about()->DetailText().contains(QStringLiteral("Receiver: Unknown")));
  EXPECT_TRUE(window_->about()->DetailText().contains(QStringLiteral("font-size:18px")));
}

// 0 -> 1 -> 2 -> 0 -> 3 -> 4 -> 3 -> 0, and what the window asks of the Controller.
TEST_F(CastoraTest, PageWalkThroughTheControllersSignals) {
  Build();
  AskToConnect();
  EXPECT_EQ(window_->CurrentPage(), Castora::kConnectPage);
  // The weak-network time-out holds from the connect on, not only from a share.
  EXPECT_EQ(fake_->Take(), (Calls{"SetTimeout 30000", "Connect 192.168.1.20:7386 CEGH2C"}));

  emit controller().Connected(false);
  EXPECT_EQ(window_->CurrentPage(), Castora::kFailurePage);
  EXPECT_EQ(Find<QWidget>("failure_page_")->findChild<QLabel*>(QStringLiteral("tips_label_"))->text(),
            QStringLiteral("No response from ZORVAX, please try again"));
  EXPECT_FALSE(DisconnectShown());

  Find<QPushButton>("retry_btn_")->click();
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);

  AskToConnect();
  emit controller().Connected(true);
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
  EXPECT_EQ(Status(), QStringLiteral("Meeting room"));
  EXPECT_TRUE(DisconnectShown());
  EXPECT_TRUE(window_->IsConnected());
  EXPECT_TRUE(window_->about()->DetailText().contains(QStringLiteral("Receiver: R.9.8.7.6")));
  fake_->Take();

  Find<MirrorButton>("single_mirror_btn_")->click();
  // The options first, in this order, then the time-out (weak network is on), then play.
  EXPECT_EQ(fake_->Take(), (Calls{"OnToggleKeepRatio 0", "OnToggleViceScreen 0", "OnToggleCaptureMouse 1",
                                  "OnToggleEnhanceVideoQuality 0", "OnToggleEnableHardwareAcceleration 1",
                                  "SetTimeout 30000", "PlayVideo 1", "PlayAudio"}));
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);  // until the video plays

  emit controller().MirrorVideoToggled(true);
  EXPECT_EQ(window_->CurrentPage(), Castora::kMirrorPage);
  EXPECT_TRUE(window_->IsMirrored());
  EXPECT_FALSE(window_->isVisible());  // to the tray
  EXPECT_EQ(fake_->Take(), Calls{"StartRemoteInput"});

  emit controller().MirrorVideoToggled(false);
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
  EXPECT_FALSE(window_->IsMirrored());
  EXPECT_EQ(Status(), QStringLiteral("Meeting room"));

  emit controller().Disconnected();
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(Status(), QStringLiteral("Unconnected tip"));
  EXPECT_FALSE(DisconnectShown());
}

// "Stop sharing" gets no teardown callback: the window leaves the sharing page itself
// once the teardown calls return.
TEST_F(CastoraTest, StopSharingReturnsToTheFunctionPage) {
  Build();
  ConnectAndShare();
  Find<QPushButton>("stop_btn_")->click();
  EXPECT_EQ(fake_->Take(), (Calls{"TeardownVideo", "TeardownAudio", "StopRemoteInput"}));
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
  EXPECT_FALSE(window_->IsMirrored());
  EXPECT_EQ(Status(), QStringLiteral("Meeting room"));
}

// A disconnect ends sharing; a toggle that arrives late keeps the first page.
TEST_F(CastoraTest, DisconnectClearsSharingAndLateTogglesStayOnTheFirstPage) {
  Build();
  ConnectAndShare();
  ASSERT_TRUE(window_->IsMirrored());
  emit controller().Error();
  emit controller().Disconnected();
  EXPECT_FALSE(window_->IsMirrored());
  EXPECT_TRUE(window_->interrupt_dialog()->isVisible());
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  for (bool toggle : {false, true}) {
    emit controller().MirrorVideoToggled(toggle);
    EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage) << toggle;
    EXPECT_FALSE(window_->IsMirrored()) << toggle;
    EXPECT_TRUE(window_->isVisible()) << toggle;
  }
  window_->interrupt_dialog()->findChild<QPushButton*>(QStringLiteral("ok_btn_"))->click();
  EXPECT_TRUE(window_->interrupt_dialog()->isHidden());
}

// Cancel while the connect completes: the session that opened anyway is closed, and
// a failure that comes after the cancel does not show the failure page.
TEST_F(CastoraTest, CancelClosesASessionThatCompletesLate) {
  Build();
  AskToConnect();
  Find<QPushButton>("cancel_btn_")->click();
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  emit controller().Connected(true);
  EXPECT_EQ(fake_->Take(), (Calls{"SetTimeout 30000", "Connect 192.168.1.20:7386 CEGH2C", "Cancel", "Disconnect"}));
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  EXPECT_EQ(Status(), QStringLiteral("Unconnected tip"));
  EXPECT_FALSE(DisconnectShown());

  AskToConnect();
  Find<QPushButton>("cancel_btn_")->click();
  emit controller().Connected(false);
  EXPECT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
  EXPECT_EQ(fake_->Take(), (Calls{"SetTimeout 30000", "Connect 192.168.1.20:7386 CEGH2C", "Cancel"}));
}

// With auto sharing a successful connect skips the function page and starts
// join-screen sharing with the stored options.
TEST_F(CastoraTest, AutoSharingStartsJoinScreenSharingOnConnect) {
  Settings::SetWeakNetwork(false);
  Settings::SetKeepAspectRatio(true);
  Build();
  AskToConnect(true);
  EXPECT_TRUE(Settings::GetAutoMirror());
  EXPECT_EQ(fake_->Take(), (Calls{"SetTimeout 15000", "Connect 192.168.1.20:7386 CEGH2C"}));
  emit controller().Connected(true);
  EXPECT_EQ(fake_->Take(), (Calls{"GetPeerInfo", "OnToggleKeepRatio 1", "OnToggleViceScreen 0",
                                  "OnToggleCaptureMouse 1", "OnToggleEnhanceVideoQuality 0",
                                  "OnToggleEnableHardwareAcceleration 1", "SetTimeout 15000", "PlayVideo 0",
                                  "PlayAudio"}));
  EXPECT_NE(window_->CurrentPage(), Castora::kFunctionPage);
  emit controller().MirrorVideoToggled(true);
  EXPECT_EQ(window_->CurrentPage(), Castora::kMirrorPage);
}

// A share that ends without "Stop sharing": the receiver stops it, or a video error
// does (the Controller reports that error first). The window comes back on the
// function page, the sound and the receiver's touches end with the video, and one
// click shares again.
TEST_F(CastoraTest, AShareEndedElsewhereBringsTheWindowBackAndStopsTouch) {
  for (const bool error : {false, true}) {
    SCOPED_TRACE(error ? "video error" : "receiver stop");
    Build();
    ConnectAndShare();
    ASSERT_FALSE(window_->isVisible());
    if (error) emit controller().Error();
    emit controller().MirrorVideoToggled(false);
    EXPECT_EQ(fake_->Take(), (Calls{"TeardownAudio", "StopRemoteInput"}));
    EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
    EXPECT_FALSE(window_->IsMirrored());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(Status(), QStringLiteral("Meeting room"));
    EXPECT_EQ(window_->interrupt_dialog()->isVisible(), error);
    Find<MirrorButton>("single_mirror_btn_")->click();
    EXPECT_TRUE(fake_->Called("PlayVideo 1"));
  }
}

// Without a system tray nothing could bring a hidden window back: sharing minimises
// it instead, so that "Stop sharing" stays in reach, and the end of the share
// restores it.
TEST_F(CastoraTest, WithoutATraySharingMinimisesTheWindow) {
  tray_ = false;
  Build();
  ConnectAndShare();
  EXPECT_EQ(window_->CurrentPage(), Castora::kMirrorPage);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->isMinimized());
  emit controller().MirrorVideoToggled(false);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->isMinimized());
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
}

// The second click of a double click, or a click on the other card while the start is
// on its way, starts nothing more: the receiver would get two starts.
TEST_F(CastoraTest, ADoubleClickOnACardStartsOneShare) {
  Build();
  AskToConnect();
  emit controller().Connected(true);
  fake_->Take();
  auto* card = Find<MirrorButton>("single_mirror_btn_");
  QSignalSpy clicks(card, &QPushButton::clicked);
  // A double click as the window system delivers it: press, release, then the
  // double-click event in place of the second press, and its release.
  QTest::mouseClick(card, Qt::LeftButton);
  QTest::mouseDClick(card, Qt::LeftButton);
  QTest::mouseRelease(card, Qt::LeftButton);
  ASSERT_EQ(clicks.count(), 2) << "the double click reaches the card twice";
  Find<MirrorButton>("join_mirror_btn_")->click();
  const Calls calls = fake_->Take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PlayVideo 1"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PlayAudio"), 1);
  EXPECT_FALSE(fake_->Called("PlayVideo 0"));

  // Once that share has ended, a click starts the next one.
  emit controller().MirrorVideoToggled(true);
  Find<QPushButton>("stop_btn_")->click();
  fake_->Take();
  card->click();
  EXPECT_TRUE(fake_->Called("PlayVideo 1"));
}

// An open overlay takes the keyboard: nothing typed reaches the code entry under it,
// which keeps what it had, and takes keys again once the overlay is closed.
TEST_F(CastoraTest, AnOpenOverlayTakesTheKeyboard) {
  struct Case {
    const char* name;
    std::function<QWidget*()> open;
  };
  const Case cases[] = {
      {"About",
       [this] {
         ActionIn(window_->option_menu(), QStringLiteral("About Davuvu Veriv"))->trigger();
         return static_cast<QWidget*>(window_->about());
       }},
      {"quit question",
       [this] {
         Find<QPushButton>("close_btn_")->click();
         return static_cast<QWidget*>(window_->close_dialog());
       }},
      {"interruption notice",
       [this] {
         // A share lost: the notice, then the code entry under it.
         ConnectAndShare();
         emit controller().Error();
         emit controller().Disconnected();
         return static_cast<QWidget*>(window_->interrupt_dialog());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Build();
    auto* edit = Find<PinCodeEdit>("pin_edit_6_");
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("CEGH"));
    ASSERT_EQ(edit->text(), QStringLiteral("CEGH"));
    QWidget* overlay = c.open();
    ASSERT_TRUE(overlay->isVisible());
    ASSERT_EQ(window_->CurrentPage(), Castora::kPinCodePage);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QStringLiteral("2C"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), QStringLiteral("CEGH"));
    overlay->hide();
    QTest::keyClicks(edit, QStringLiteral("2C"));
    EXPECT_EQ(edit->text(), QStringLiteral("CEGH2C"));
  }
}

TEST_F(CastoraTest, MenusHoldTheirActionsInOrder) {
  Build();
  auto texts = [](QMenu* menu) {
    QStringList list;
    for (QAction* action : menu->actions()) list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
  };
  EXPECT_EQ(texts(window_->option_menu()),
            (QStringList{"Enable touch", "Enable extented screen", "Advanced options", "-", "About Davuvu Veriv"}));
  EXPECT_EQ(texts(window_->advanced_menu()), (QStringList{"Keep aspect ratio", "Show cursor", "High Image Quality",
                                                          "Hardware Acceleration", "Weak Network"}));
  EXPECT_EQ(texts(window_->tray_menu()), (QStringList{"Keep aspect ratio", "Enable extented screen", "Enable touch",
                                                      "Show cursor", "-", "Quit"}));
  EXPECT_EQ(window_->tray_menu()->objectName(), QStringLiteral("trayicon"));
  EXPECT_EQ(window_->tray_icon()->contextMenu(), window_->tray_menu());
  // Checked as stored.
  EXPECT_TRUE(ActionIn(window_->advanced_menu(), QStringLiteral("Weak Network"))->isChecked());
  EXPECT_FALSE(ActionIn(window_->advanced_menu(), QStringLiteral("Keep aspect ratio"))->isChecked());
  EXPECT_TRUE(window_->option_menu()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(window_->option_menu()->testAttribute(Qt::WA_TranslucentBackground));

  ActionIn(window_->option_menu(), QStringLiteral("About Davuvu Veriv"))->trigger();
  EXPECT_TRUE(window_->about()->isVisible());
  window_->about()->findChild<QPushButton*>(QStringLiteral("ok_btn_"))->click();
  EXPECT_TRUE(window_->about()->isHidden());
}

// The option menu opens centred under its button; the advanced submenu beside the
// option menu's lower part (at 1.5: 57 in from its right edge, 120 down).
TEST_F(CastoraTest, MenusOpenWhereTheyBelong) {
  Build();
  auto* button = Find<QPushButton>("option_btn_");
  ShadowMenu* menu = window_->option_menu();
  const QPoint expected = Find<QWidget>("window_")->mapToGlobal(
      QPoint(button->x() + button->width() / 2 - menu->sizeHint().width() / 2,
             button->y() + button->sizeHint().height() - 15));
  EXPECT_EQ(window_->OptionMenuPosition(), expected);
  menu->popup(window_->OptionMenuPosition());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
  window_->advanced_menu()->popup(QPoint(0, 0));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->advanced_menu()->isVisible(); }, 5000));
  EXPECT_EQ(window_->advanced_menu()->pos(), QPoint(menu->x() + menu->width() - 57, menu->y() + 120));
  window_->advanced_menu()->hide();
  menu->hide();
}

// The extended screen greys "Enable touch" out in both menus, and while sharing with
// touch on it stops remote input when it turns on and restarts it when it turns off.
TEST_F(CastoraTest, ExtendedScreenDisablesTouchInBothMenus) {
  Settings::SetOpenViceScreen(true);
  Build();
  for (QMenu* menu : {static_cast<QMenu*>(window_->option_menu()), static_cast<QMenu*>(window_->tray_menu())}) {
    QAction* touch = ActionIn(menu, QStringLiteral("Enable touch"));
    ASSERT_NE(touch, nullptr);
    EXPECT_FALSE(touch->isEnabled());
    EXPECT_TRUE(ActionIn(menu, QStringLiteral("Enable extented screen"))->isEnabled());
  }
  ConnectAndShare();
  QAction* vice = ActionIn(window_->tray_menu(), QStringLiteral("Enable extented screen"));
  vice->trigger();  // off
  EXPECT_FALSE(Settings::GetOpenViceScreen());
  EXPECT_TRUE(ActionIn(window_->option_menu(), QStringLiteral("Enable touch"))->isEnabled());
  EXPECT_EQ(fake_->Take(), (Calls{"OnToggleViceScreen 0", "StartRemoteInput"}));
  vice->trigger();  // on
  EXPECT_FALSE(ActionIn(window_->tray_menu(), QStringLiteral("Enable touch"))->isEnabled());
  EXPECT_EQ(fake_->Take(), (Calls{"OnToggleViceScreen 1", "StopRemoteInput"}));
}

TEST_F(CastoraTest, TouchToggleActsOnlyWhileSharing) {
  Build();
  QAction* touch = ActionIn(window_->option_menu(), QStringLiteral("Enable touch"));
  touch->trigger();  // off, not sharing: only stored
  EXPECT_FALSE(Settings::GetEnableTouch());
  EXPECT_TRUE(fake_->Take().empty());
  ConnectAndShare();  // touch off: no remote input
  EXPECT_FALSE(fake_->Called("StartRemoteInput"));
  touch->trigger();
  EXPECT_EQ(fake_->Take(), Calls{"StartRemoteInput"});
  touch->trigger();
  EXPECT_EQ(fake_->Take(), Calls{"StopRemoteInput"});
}

TEST_F(CastoraTest, WithoutATouchDeviceTouchLeavesBothMenusAfterConnecting) {
  Build();
  fake_->has_remote_input = false;
  QAction* touch = ActionIn(window_->tray_menu(), QStringLiteral("Enable touch"));
  EXPECT_TRUE(touch->isVisible());
  AskToConnect();
  emit controller().Connected(true);
  EXPECT_FALSE(touch->isVisible());
  EXPECT_EQ(ActionIn(window_->option_menu(), QStringLiteral("Enable touch")), touch);
}

// Each option goes to the Controller and the settings file; two of them confirm with a
// toast that hides itself.
TEST_F(CastoraTest, OptionTogglesAndToasts) {
  Build();
  struct Case {
    const char* action;
    Calls calls;
    bool (*setting)();
    bool stored;
    const char* notice;  // nullptr: no toast
  };
  const Case cases[] = {
      {"Keep aspect ratio", {"OnToggleKeepRatio 1"}, &Settings::GetKeepAspectRatio, true, nullptr},
      {"Show cursor", {"OnToggleCaptureMouse 0"}, &Settings::GetCaptureMouse, false, nullptr},
      {"High Image Quality", {"OnToggleEnhanceVideoQuality 1"}, &Settings::GetEnhanceVideoQuality, true, nullptr},
      {"Hardware Acceleration", {"OnToggleEnableHardwareAcceleration 0"}, &Settings::GetEnableHardwareAcceleration,
       false, "Hardware Acceleration disabled"},
      {"Hardware Acceleration", {"OnToggleEnableHardwareAcceleration 1"}, &Settings::GetEnableHardwareAcceleration,
       true, "Hardware Acceleration enabled"},
      {"Weak Network", {"SetTimeout 15000"}, &Settings::GetWeakNetwork, false, "Weak Network Mode disabled"},
      {"Weak Network", {"SetTimeout 30000"}, &Settings::GetWeakNetwork, true, "Weak Network Mode enabled"},
  };
  TipDialog* tip = window_->tip_dialog();
  for (const Case& c : cases) {
    tip->hide();
    ActionIn(window_->advanced_menu(), QString::fromLatin1(c.action))->trigger();
    EXPECT_EQ(fake_->Take(), c.calls) << c.action;
    EXPECT_EQ(c.setting(), c.stored) << c.action;
    if (c.notice) {
      EXPECT_TRUE(tip->isVisible()) << c.action;
      EXPECT_EQ(tip->notice(), QString::fromLatin1(c.notice));
      EXPECT_FALSE(tip->tip().isEmpty());
    } else {
      EXPECT_TRUE(tip->isHidden()) << c.action;
    }
  }
  EXPECT_EQ(tip->tip(), QStringLiteral("Reduce interruptions in a poor network environment"));
  // The toast goes away by itself (3 s).
  EXPECT_TRUE(QTest::qWaitFor([tip] { return tip->isHidden(); }, 10000));
}

// Session messages arrive through the application's real native-event path.
class SessionMessageTest : public CastoraTest {
 protected:
  void Build() {
    CastoraTest::Build();
    qApp->installNativeEventFilter(window_.get());
  }
  void TearDown() override {
    if (window_) qApp->removeNativeEventFilter(window_.get());
  }
  // Delivers the message from inside the application's event loop and tells whether
  // it was ended by a quit (0) or by the time limit (1).
  int DeliverAndRun(uint32_t message, uintptr_t wparam) {
    return RunApplication([=] { platform::session::DeliverSessionMessage(message, wparam); });
  }
};

TEST_F(SessionMessageTest, SuspendAndUserSwitchQuit) {
  Build();
  EXPECT_EQ(DeliverAndRun(platform::session::kWmPowerBroadcast, platform::session::kPbtApmSuspend), 0);
  EXPECT_EQ(DeliverAndRun(platform::session::kWmWtsSessionChange, platform::session::kWtsConsoleDisconnect), 0);
  // Other power and session events change nothing.
  EXPECT_EQ(DeliverAndRun(platform::session::kWmPowerBroadcast, 7), 1);
  EXPECT_EQ(DeliverAndRun(platform::session::kWmWtsSessionChange, 5), 1);
  EXPECT_EQ(DeliverAndRun(123, platform::session::kPbtApmSuspend), 1);
  EXPECT_TRUE(fake_->Take().empty());
}

// The lock ends the share and says so: the function page, connected and not sharing,
// from which one click shares again. The receiver's starts are refused from before the
// share stops until the unlock, or until the user's click shows the desk is in use.
TEST_F(SessionMessageTest, LockStopsSharingAndKeepsTheConnection) {
  Build();
  ConnectAndShare();
  ASSERT_FALSE(window_->isVisible());
  EXPECT_FALSE(platform::session::DeliverSessionMessage(platform::session::kWmWtsSessionChange,
                                                        platform::session::kWtsSessionLock));
  EXPECT_EQ(fake_->Take(), (Calls{"SetSessionLocked 1", "TeardownVideo", "TeardownAudio", "StopRemoteInput"}));
  platform::session::DeliverSessionMessage(platform::session::kWmWtsSessionChange,
                                           platform::session::kWtsSessionUnlock);
  EXPECT_EQ(fake_->Take(), (Calls{"SetSessionLocked 0"}));
  platform::session::DeliverSessionMessage(platform::session::kWmWtsSessionChange,
                                           platform::session::kWtsSessionLock);
  EXPECT_TRUE(fake_->Called("SetSessionLocked 1"));
  EXPECT_EQ(window_->CurrentPage(), Castora::kFunctionPage);
  EXPECT_FALSE(window_->IsMirrored());
  EXPECT_TRUE(window_->IsConnected());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(Status(), QStringLiteral("Meeting room"));
  fake_->Take();
  Find<MirrorButton>("join_mirror_btn_")->click();
  const Calls calls = fake_->Take();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "SetSessionLocked 0");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "PlayVideo 0"), calls.end());
}

TEST_F(CastoraTest, TrayTriggerBringsTheHiddenWindowBack) {
  Build();
  ConnectAndShare();
  ASSERT_FALSE(window_->isVisible());
  for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick}) {
    emit window_->tray_icon()->activated(reason);
    EXPECT_FALSE(window_->isVisible()) << reason;
  }
  emit window_->tray_icon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(window_->CurrentPage(), Castora::kMirrorPage);
}

TEST_F(CastoraTest, CloseButtonAsksAndCancelOnlyHides) {
  Build();
  Find<QPushButton>("close_btn_")->click();
  CloseDialog* dialog = window_->close_dialog();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->geometry(), Find<QWidget>("window_")->rect());
  dialog->findChild<QPushButton*>(QStringLiteral("cancel_btn_"))->click();
  EXPECT_TRUE(dialog->isHidden());
  EXPECT_TRUE(window_->isVisible());

  // Confirm quits, even while sharing.
  ConnectAndShare();
  dialog->ShowOver();
  EXPECT_EQ(RunApplication([dialog] { dialog->findChild<QPushButton*>(QStringLiteral("confirm_btn_"))->click(); }),
            0);
}

}  // namespace
