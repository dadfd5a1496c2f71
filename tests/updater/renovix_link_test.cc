// The updater's side of the link and its background run inside the test process,
// against the helper posing as the client.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/updater/private_temp_folder.h"
#include "tests/updater/update_server.h"
#include "tests/updater/updater_run.h"
#include "updater/interaction.h"
#include "updater/renovix.h"
#include "updater/update_dialog_page.h"
#include "updater/transfer_message.h"
#include "updater/updater_settings.h"

namespace {

// The local sockets of the client's server and of the link live in TMPDIR: a folder of
// the test's own, for this process and the helper alike.
class PrivateSockets {
 public:
  PrivateSockets() : dir_(QStringLiteral(RENOVIX_TEST_WORK_DIR "/sockets-XXXXXX")), old_(qgetenv("TMPDIR")) {
    qputenv("TMPDIR", dir_.path().toLocal8Bit());
    env_ = QProcessEnvironment::systemEnvironment();
  }
  ~PrivateSockets() { qputenv("TMPDIR", old_); }
  QProcessEnvironment& env() { return env_; }

 private:
  QTemporaryDir dir_;
  QByteArray old_;
  QProcessEnvironment env_;
};

// A quit() of an earlier test, made while no event loop ran, stays pending for the
// thread and would end every nested loop at once; a full turn of the application's
// loop clears it.
void ClearPendingQuit() {
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

// Started before the client's host exists, the replica becomes valid once the host is
// up, and says so exactly once.
TEST(TransferMessageTest, ValidOnceTheHostIsUp) {
  PrivateSockets sockets;
  const QString node = QStringLiteral("local:renovix-link-test-%1").arg(QCoreApplication::applicationPid());
  TransferMessage link{QUrl(node)};
  QSignalSpy valid(&link, &TransferMessage::Valid);
  QSignalSpy received(&link, &TransferMessage::NewMessage);
  QTest::qWait(500);
  EXPECT_EQ(valid.count(), 0);
  EXPECT_FALSE(link.IsValid());

  sockets.env().insert(QStringLiteral("RENOVIX_FAKE_CLIENT_NODE"), node);
  FakeClient client(sockets.env());
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return valid.count() == 1; }, 15000));
  EXPECT_TRUE(link.IsValid());
  // Both ways, values passed on unchanged, an unknown one included.
  link.SendMessage(3);
  EXPECT_TRUE(client.WaitForLine(QStringLiteral("received 3")));
  client.Command("send 9");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 10000));
  EXPECT_EQ(received.first().at(0).toInt(), 9);
  QTest::qWait(300);
  EXPECT_EQ(valid.count(), 1);
}

// The check timer keeps firing while a request waits for its answer in a nested event
// loop: no second request is started. The client going away ends the wait.
TEST(RenovixBackgroundTest, NoSecondCheckWhileOneWaits) {
  ClearPendingQuit();
  PrivateSockets sockets;
  UpdaterSettings::Instance().SetUpdateAtNextStartup(false);
  UpdaterSettings::Instance().SetLastCheckUpdateDate(QStringLiteral("2000-01-01"));
  updater_test::UpdateServer server;
  ASSERT_TRUE(server.Start());
  updater_test::Response hang;
  hang.hang = true;
  server.SetResponse(updater_test::UpdateServer::UpdatePath(), hang);
  qputenv("RENOVIX_UPDATE_SERVER", server.BaseUrl().toLatin1());

  FakeClient client(sockets.env());
  ASSERT_TRUE(client.Start());
  Renovix renovix(QStringLiteral("BackgroundRun"));
  renovix.SetCheckInterval(100);
  // Run waits in nested loops from here on; the client leaves after 2 s of them.
  QTimer::singleShot(2000, [&] { client.Command("quit"); });
  renovix.Run();
  qunsetenv("RENOVIX_UPDATE_SERVER");

  EXPECT_TRUE(client.HasLine(QStringLiteral("received 0")));
  EXPECT_EQ(server.RequestsFor(updater_test::UpdateServer::UpdatePath()).size(), 1u);
  // The unanswered request counts as no check.
  EXPECT_EQ(UpdaterSettings::Instance().GetLastCheckUpdateDate(), QStringLiteral("2000-01-01"));
}

// The user presses Update, and the hand-over breaks off: the copy of the runtime
// fails (the client is then not asked to end and goes on), or the client ends without
// kClientExited, or the task tool fails once the client has exited (the client is
// started again). Each time the dialog's failure state says so, and the verified
// package stays pending, so the next start hands it over.
TEST(RenovixHandOverTest, UpdateKeepsThePackagePendingUntilItIsHandedOver) {
  struct Case {
    const char* name;
    bool copy_fails;
    bool client_says_exited;
  };
  const Case cases[] = {{"runtime copy fails", true, true},
                        {"client ends without a word", false, false},
                        {"task tool fails after the client exited", false, true}};
  const QByteArray package = "#!/bin/sh\nexit 0\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearPendingQuit();
    PrivateSockets sockets;
    UpdaterSettings& settings = UpdaterSettings::Instance();
    settings.SetUpdateAtNextStartup(false);
    settings.SetLastCheckUpdateDate(QStringLiteral("2000-01-01"));
    updater_test::UpdateServer server;
    ASSERT_TRUE(server.Start());
    server.SetResponse(QStringLiteral("/download/CastoraSetup"), updater_test::Response::File(package));
    const QJsonObject answer{
        {"name", "Castora"},
        {"originVersionCode", "1.2.3"},
        {"downloadUrl", server.BaseUrl() + QStringLiteral("/download/CastoraSetup")},
        {"fileMd5", QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex())},
        {"hasUpdate", true},
        {"updateDesc", "Bug fixes."}};
    server.SetUpdateReply(QJsonDocument(answer).toJson(QJsonDocument::Compact));
    qputenv("RENOVIX_UPDATE_SERVER", server.BaseUrl().toLatin1());
    // Where the copy of the program goes; a folder there, and the copy cannot be made.
    const QString copy = platform::updater::PrivateTempFolder() + QLatin1Char('/') +
                         QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const auto remove_copy = [&] { QFile::remove(copy) || QDir(copy).removeRecursively(); };
    remove_copy();
    if (c.copy_fails) {
      ASSERT_TRUE(QDir().mkpath(copy));
    }
    sockets.env().insert(QStringLiteral("RENOVIX_FAKE_CLIENT_ASK"), QStringLiteral("1"));
    if (!c.client_says_exited) sockets.env().insert(QStringLiteral("RENOVIX_FAKE_CLIENT_SILENT"), QStringLiteral("1"));
    // The task starts the copy, but cannot be started.
    QTemporaryDir tool_dir;
    const QString tool = tool_dir.filePath(QStringLiteral("tool"));
    ASSERT_TRUE(WriteScript(tool, "#!/bin/sh\n[ \"$1\" = /query ] && echo \"" + copy.toLocal8Bit() +
                                      "\" && exit 0\necho 'ERROR: no task named \"Renovix\"' >&2\nexit 1\n"));
    qputenv("RENOVIX_TASK_TOOL", tool.toLocal8Bit());
    const int log_start = InProcessLog().size();
    const auto log = [&] { return InProcessLog().mid(log_start); };

    FakeClient client(sockets.env());
    ASSERT_TRUE(client.Start());
    Renovix renovix(QStringLiteral("BackgroundRun"));
    renovix.Run();
    // Downloaded, verified, kUpdateReady; the client asks for the dialog.
    Interaction& dialog = renovix.interaction();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isVisible(); }, 20000)) << log().toStdString();
    EXPECT_TRUE(settings.GetUpdateAtNextStartup());
    QTest::mouseClick(dialog.update_dialog_page()->update_button(), Qt::LeftButton);

    if (c.copy_fails) {
      // Whatever follows the copy is logged at once: the refusal, or the word to the client.
      ASSERT_TRUE(QTest::qWaitFor(
          [&] {
            return log().contains(QStringLiteral("Copy runtime to temp failed")) ||
                   log().contains(QStringLiteral("Qtro send message: kInstallNow"));
          },
          10000));
      EXPECT_FALSE(log().contains(QStringLiteral("Qtro send message: kInstallNow"))) << log().toStdString();
      EXPECT_TRUE(log().contains(QStringLiteral("[error] [RENOVIX::zorvax_update]: Copy runtime to temp failed")));
      // The user is told, on the offer that stands.
      ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isVisible(); }, 2000));
      EXPECT_EQ(dialog.stack()->currentIndex(), 0);
      EXPECT_EQ(dialog.update_dialog_page()->status_label()->text(),
                QStringLiteral("The update could not start, please try again later"));
      // The client goes on, and its end still ends the updater.
      client.Command("quit");
      ASSERT_TRUE(client.WaitForExit());
      EXPECT_FALSE(client.HasLine(QStringLiteral("received 1")));
      EXPECT_TRUE(QTest::qWaitFor(
          [&] { return log().contains(QStringLiteral("App exited, update program exited")); }, 10000));
    } else {
      ASSERT_TRUE(client.WaitForExit());
      EXPECT_TRUE(client.HasLine(QStringLiteral("received 1")));
      EXPECT_EQ(client.HasLine(QStringLiteral("sent 2")), c.client_says_exited);
      // The client is started again, and the user is told.
      ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isVisible(); }, 15000)) << log().toStdString();
      if (c.client_says_exited) {
        EXPECT_TRUE(log().contains(QStringLiteral("Run scheduled task failed: the task tool ")));
        EXPECT_TRUE(log().contains(QStringLiteral("ERROR: no task named \"Renovix\"")));
      } else {
        EXPECT_TRUE(log().contains(QStringLiteral("App exited without kClientExited")));
      }
      EXPECT_TRUE(log().contains(QStringLiteral("Start program")));
      EXPECT_EQ(dialog.stack()->currentIndex(), 0);
      EXPECT_EQ(dialog.update_dialog_page()->status_label()->text(),
                QStringLiteral("The update could not start, please try again later"));
      QTest::mouseClick(dialog.update_dialog_page()->cancel_button(), Qt::LeftButton);
      EXPECT_FALSE(dialog.isVisible());
    }
    qunsetenv("RENOVIX_TASK_TOOL");
    qunsetenv("RENOVIX_UPDATE_SERVER");
    remove_copy();
    EXPECT_TRUE(settings.GetUpdateAtNextStartup());
    EXPECT_TRUE(QFileInfo(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/CastoraUpdate/CastoraSetup"))
                    .isExecutable());
  }
}

}  // namespace
