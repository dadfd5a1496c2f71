// The client's side of the updater link against the helper posing as the updater.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <memory>

#include <gtest/gtest.h>

#include "client/settings.h"
#include "client/transfer_message.h"
#include "client/ui/castora.h"
#include "client/ui/mirror_button.h"
#include "client/ui/pin_code_page.h"
#include "client/update.h"
#include "platform/session/session_message.h"
#include "tests/client/window/fake_controller.h"
#include "tests/client/window/fake_updater_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/second_user.h"

namespace {

using testing_support::ScopedLogCapture;

// A node of its own per test: tests of several builds may run at once.
QUrl NodeUrl() {
  static int count = 0;
  return QUrl(QStringLiteral("local:castora-update-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++count));
}

TEST(UpdateTest, KeysOfTheMessagesAndUnknownValues) {
  TransferMessage link(NodeUrl());
  EXPECT_TRUE(link.IsHosting());
  EXPECT_EQ(link.KeyOf(0), QStringLiteral("kNoNeedToUpdate"));
  EXPECT_EQ(link.KeyOf(1), QStringLiteral("kInstallNow"));
  EXPECT_EQ(link.KeyOf(2), QStringLiteral("kClientExited"));
  EXPECT_EQ(link.KeyOf(3), QStringLiteral("kUpdateReady"));
  EXPECT_EQ(link.KeyOf(4), QStringLiteral("kShowUpdateDialog"));
  EXPECT_EQ(link.KeyOf(-1), QStringLiteral("unknown (-1)"));
  EXPECT_EQ(link.KeyOf(5), QStringLiteral("unknown (5)"));
  // Both programs must carry the same interface.
  const QMetaObject* meta = link.metaObject();
  const int signature = meta->indexOfClassInfo("RemoteObject Signature");
  ASSERT_GE(signature, 0);
  EXPECT_STREQ(meta->classInfo(signature).value(), "10107cf0357d7583fb3d95d10faac88ce7788bc5");
  EXPECT_STREQ(meta->classInfo(meta->indexOfClassInfo("RemoteObject Type")).value(), "TransferMessage");
}

// The node's name left by a killed client is taken over; a name on which a live node
// answers is not taken from it.
TEST(UpdateTest, TheLinkTakesOverALeftNodeNameButNotALiveOne) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("node"));
  const QUrl url(QStringLiteral("local:") + name);
  {
    // A socket file nobody listens on, as a killed process leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    ASSERT_LT(static_cast<size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    TransferMessage link(url);
    EXPECT_TRUE(link.IsHosting());
  }

  QLocalServer live;
  ASSERT_TRUE(live.listen(name));
  TransferMessage second(url);
  EXPECT_FALSE(second.IsHosting());
  // The probe's connection, then a new one: still the live node's.
  while (live.waitForNewConnection(200)) {
    while (QLocalSocket* socket = live.nextPendingConnection()) delete socket;
  }
  QLocalSocket client;
  client.connectToServer(name);
  ASSERT_TRUE(client.waitForConnected(2000));
  EXPECT_TRUE(live.waitForNewConnection(2000));
}

// A folder both users may write to, as /tmp is: open to all, sticky.
class SharedFolder {
 public:
  SharedFolder() { valid_ = dir_.isValid() && ::chmod(QFile::encodeName(dir_.path()).constData(), 01777) == 0; }
  bool valid() const { return valid_; }
  QString FilePath(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
  bool valid_ = false;
};

// The link's socket is this user's alone. An updater of another user that gets past
// its mode anyway (a socket opened up to all, or one with the rights to pass any mode)
// is refused before the node hears it: it is neither heard nor told anything.
TEST(UpdateTest, AnotherUsersUpdaterIsNeitherHeardNorTold) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  SharedFolder shared;
  ASSERT_TRUE(shared.valid());
  const QString name = shared.FilePath(QStringLiteral("node"));
  const QUrl url(QStringLiteral("local:") + name);
  TransferMessage link(url);
  ASSERT_TRUE(link.IsHosting());
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());

  ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0777), 0);
  ScopedLogCapture log;
  QSignalSpy received(&link, &TransferMessage::NewMessage);
  QProcessEnvironment orders;
  orders.insert(QStringLiteral("CASTORA_FAKE_UPDATER_SEND"), QStringLiteral("1"));
  FakeUpdaterProcess stranger(url.toString(), true, orders);
  ASSERT_TRUE(stranger.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.Contains("Refuse a link peer of user 65534"); }, 15000));
  EXPECT_TRUE(log.Contains("error [CASTORA::transfer_message][OnNewConnection:"));
  link.SendMessage(updater_link::kUpdateReady);
  link.Flush(1000);
  stranger.Send(0);
  ASSERT_TRUE(stranger.WaitForLine(QStringLiteral("sent 0")));
  EXPECT_EQ(received.count(), 0);
  EXPECT_FALSE(stranger.HasLine(QStringLiteral("valid")));
  EXPECT_FALSE(stranger.HasLine(QStringLiteral("received 3")));
}

// A live node of another user on our name is no updater of ours: the client takes the
// name over instead of leaving itself without updates.
TEST(UpdateTest, TheLinkTakesItsNameFromAnotherUsersNode) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  SharedFolder shared;
  ASSERT_TRUE(shared.valid());
  const QString name = shared.FilePath(QStringLiteral("node"));
  QProcessEnvironment hold;
  hold.insert(QStringLiteral("CASTORA_FAKE_UPDATER_HOLD"), name);
  FakeUpdaterProcess stranger(QString(), true, hold);
  ASSERT_TRUE(stranger.Start());
  ASSERT_TRUE(stranger.WaitForLine(QStringLiteral("holding")));

  ScopedLogCapture log;
  TransferMessage link(QUrl(QStringLiteral("local:") + name));
  EXPECT_TRUE(link.IsHosting());
  EXPECT_TRUE(log.Contains("is held by user 65534, taking it over")) << log.Text();
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
  EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST(UpdateTest, WithoutAnUpdaterTheWaitEndsAfterItsTime) {
  ScopedLogCapture log;
  Update update(NodeUrl(), nullptr);
  QSignalSpy started(&update, &Update::StartNormally);
  // Nothing named Renovix lies beside the test program: the start fails silently.
  update.StartUpdater();
  update.WaitForMessage();
  EXPECT_EQ(started.count(), 0);
  EXPECT_TRUE(log.Contains("error [CASTORA::update][WaitForMessage:"));
  EXPECT_TRUE(log.Contains("Timeout, updater has no return message"));
  // The program is named as it is, without quotes or ".exe".
  const std::string program = (QCoreApplication::applicationDirPath() + QStringLiteral("/Renovix")).toStdString();
  EXPECT_TRUE(log.Contains("Start update program " + program + "\n")) << log.Text();
}

TEST(UpdateTest, NoNeedToUpdateEndsTheWaitEarly) {
  const QUrl url = NodeUrl();
  Update update(url, nullptr);
  FakeUpdaterProcess updater(url.toString());
  ASSERT_TRUE(updater.Start());
  ASSERT_TRUE(updater.WaitForLine(QStringLiteral("valid")));
  // The word is with the client before the wait starts, so the wait must end on it.
  updater.Send(0);
  ASSERT_TRUE(updater.WaitForLineBlocking(QStringLiteral("sent 0")));
  ScopedLogCapture log;
  QSignalSpy started(&update, &Update::StartNormally);
  update.WaitForMessage();
  EXPECT_EQ(started.count(), 1);
  EXPECT_TRUE(log.Contains("Qtro recv message: kNoNeedToUpdate"));
  EXPECT_TRUE(log.Contains("No need to update, start normally"));
  EXPECT_FALSE(log.Contains("Timeout")) << log.Text();
}

TEST(UpdateTest, UpdateReadyDuringTheWaitDoesNotEndIt) {
  const QUrl url = NodeUrl();
  Update update(url, nullptr);
  FakeUpdaterProcess updater(url.toString());
  ASSERT_TRUE(updater.Start());
  ASSERT_TRUE(updater.WaitForLine(QStringLiteral("valid")));
  updater.Send(3);
  ASSERT_TRUE(updater.WaitForLineBlocking(QStringLiteral("sent 3")));
  ScopedLogCapture log;
  update.WaitForMessage();
  EXPECT_TRUE(log.Contains("Update is ready, showing dialog when the window is active and no screening"));
  EXPECT_TRUE(log.Contains("Timeout, updater has no return message"));
  EXPECT_FALSE(log.Contains("Qtro send message"));
}

TEST(UpdateTest, UnknownValuesAreLoggedByNumber) {
  const QUrl url = NodeUrl();
  Update update(url, nullptr);
  FakeUpdaterProcess updater(url.toString());
  ASSERT_TRUE(updater.Start());
  ASSERT_TRUE(updater.WaitForLine(QStringLiteral("valid")));
  ScopedLogCapture log;
  updater.Send(9);
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.Contains("Unkown message"); }, 15000));
  EXPECT_TRUE(log.Contains("info [CASTORA::transfer_message][TransferSlot:"));
  EXPECT_TRUE(log.Contains("Qtro recv message: unknown (9)"));
  EXPECT_TRUE(log.Contains("warning [CASTORA::update][ParseMessage:"));
  update.transfer_message()->SendMessage(-4);
  EXPECT_TRUE(log.Contains("Qtro send message: unknown (-4)"));
  EXPECT_TRUE(updater.WaitForLine(QStringLiteral("received -4")));
}

// kUpdateReady while sharing: nothing is asked until sharing has stopped and the
// window is active again; then the dialog is asked for once.
namespace {

// Shows the window, connects and starts a join-screen share, played by the fake
// Controller's signals.
void ShareOnTheFakeController(Castora& window) {
  window.show();
  emit window.findChild<PinCodePage*>(QStringLiteral("pin_code_page_"))
      ->Connect(QStringLiteral("CEGH2C"), QStringLiteral("192.168.1.20"), 7386, false);
  emit window.controller().Connected(true);
  window.findChild<MirrorButton*>(QStringLiteral("join_mirror_btn_"))->click();
  emit window.controller().MirrorVideoToggled(true);
}

}  // namespace

TEST(UpdateTest, UpdateReadyWhileSharingAsksForTheDialogAfterSharingStops) {
  Settings::SetAutoMirror(false);
  const QUrl url = NodeUrl();
  Update update(url, nullptr);
  Castora window(MakeFakeController);
  update.SetMainWindow(&window);
  ShareOnTheFakeController(window);
  ASSERT_TRUE(window.IsMirrored());

  FakeUpdaterProcess updater(url.toString());
  ASSERT_TRUE(updater.Start());
  ASSERT_TRUE(updater.WaitForLine(QStringLiteral("valid")));
  ScopedLogCapture log;
  updater.Send(3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return log.Contains("Update is ready, showing dialog"); }, 15000));
  EXPECT_FALSE(log.Contains("Qtro send message"));

  window.findChild<QPushButton*>(QStringLiteral("stop_btn_"))->click();
  ASSERT_FALSE(window.IsMirrored());
  window.show();
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000));
  // The retry (every 3 s) finds the window active and not sharing.
  ASSERT_TRUE(updater.WaitForLine(QStringLiteral("received 4")));
  // And stops: one request only.
  QTest::qWait(3500);
  EXPECT_EQ(log.Count("Qtro send message: kShowUpdateDialog"), 1u);
  EXPECT_EQ(updater.CountLines(QStringLiteral("received 4")), 1);
}

// A lock ends the share: an update that got ready while sharing is offered once the
// window is active again, without a share having been stopped by hand.
TEST(UpdateTest, UpdateReadyWhileSharingIsOfferedAfterALock) {
  Settings::SetAutoMirror(false);
  Update update(NodeUrl(), nullptr);
  Castora window(MakeFakeController);
  update.SetMainWindow(&window);
  ShareOnTheFakeController(window);
  ASSERT_TRUE(window.IsMirrored());
  ScopedLogCapture log;
  update.ParseMessage(updater_link::kUpdateReady);
  ASSERT_TRUE(log.Contains("Update is ready, showing dialog"));

  window.HandleSessionMessage(platform::session::kWmWtsSessionChange, platform::session::kWtsSessionLock);
  EXPECT_FALSE(window.IsMirrored());
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000));
  // The retry (every 3 s) finds the window active and not sharing.
  EXPECT_TRUE(QTest::qWaitFor([&] { return log.Contains("Qtro send message: kShowUpdateDialog"); }, 15000));
}

TEST(UpdateTest, UpdateReadyWithTheWindowActiveAsksAtOnce) {
  const QUrl url = NodeUrl();
  Update update(url, nullptr);
  Castora window(MakeFakeController);
  update.SetMainWindow(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000));
  ScopedLogCapture log;
  update.ParseMessage(updater_link::kUpdateReady);
  EXPECT_EQ(log.Count("Qtro send message: kShowUpdateDialog"), 1u);
  EXPECT_FALSE(log.Contains("Update is ready"));
}

}  // namespace
