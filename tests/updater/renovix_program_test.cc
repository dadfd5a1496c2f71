// The Renovix program from outside: its run types, and its background run against a
// helper posing as the client.
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "client/updater_link/node_url.h"
#include "tests/support/second_user.h"
#include "tests/updater/update_server.h"
#include "tests/updater/updater_run.h"
#include "updater/updater_settings.h"
#include "utils/local_peer.h"
#include "utils/single_application.h"

namespace {

QString Today() { return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")); }

// After a hand-over that failed once the client had exited: the client comes back
// (once), and the updater waits for the user to close the dialog's failure state; it
// is ended here.
void ExpectTheClientBackAndTheDialogSaying(UpdaterRun& run, QProcess& updater) {
  const QString started = run.InstallDir() + QStringLiteral("/Castora \n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.ClientStarts() == started; }, 15000))
      << run.ClientStarts().toStdString();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return run.Log().contains(QStringLiteral("Update dialog: the update could not start")); }, 5000));
  EXPECT_EQ(updater.state(), QProcess::Running);
  updater.kill();
  updater.waitForFinished(5000);
}

// The run types that show no window run without a display (and no platform named):
// an installer registers the task as root from a package script.
TEST(RenovixProgramTest, RunTypes) {
  struct Case {
    QStringList arguments;
    bool version_config;
    bool display;
    int exit_code;
    QString logged;
    int tool_exit = 0;  // what the task tool answers
  };
  const Case cases[] = {
      {{}, true, false, 0, QStringLiteral("[error] [RENOVIX::main]: Usage: Renovix <RunType>")},
      {{QStringLiteral("Unknown")}, true, false, 0,
       QStringLiteral("[error] [RENOVIX::zorvax_update]: No such run type: Unknown")},
      // Run types are compared exactly.
      {{QStringLiteral("backgroundrun")}, true, false, 0, QStringLiteral("No such run type: backgroundrun")},
      // No client: nothing to wait for.
      {{QStringLiteral("BackgroundRun")}, true, true, 0,
       QStringLiteral("[error] [RENOVIX::zorvax_update]: Connect to app socket failed")},
      // Without the installation's identity no run type works: exit(-1), 255 here.
      {{QStringLiteral("Install")}, false, true, 255, QStringLiteral("Open version config failed")},
      {{QStringLiteral("CreateScheduledTask")}, true, false, 0, QStringLiteral("Register scheduled task successfully")},
      // The package script that registers the task must see it fail.
      {{QStringLiteral("CreateScheduledTask")}, true, false, 1,
       QStringLiteral("[error] [RENOVIX::scheduled_task]: Register scheduled task failed: the task tool "), 3},
  };
  for (const Case& c : cases) {
    const QString name = c.arguments.join(QLatin1Char(' '));
    UpdaterRun run(c.version_config);
    ASSERT_TRUE(run.valid());
    run.env().insert(QStringLiteral("RENOVIX_TEST_TOOL_EXIT"), QString::number(c.tool_exit));
    if (!c.display) {
      for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        run.env().remove(QString::fromLatin1(variable));
    }
    EXPECT_EQ(run.Run(c.arguments), c.exit_code) << name.toStdString();
    const QString log = run.Log();
    EXPECT_TRUE(log.contains(QStringLiteral("[info] [RENOVIX::main]: Renovix Version: "))) << name.toStdString();
    EXPECT_TRUE(log.contains(c.logged)) << name.toStdString() << "\n" << log.toStdString();
    if (c.arguments.isEmpty()) {
      // Only the banner and the usage: no application, no run.
      EXPECT_EQ(log.count(QLatin1Char('\n')), 2) << log.toStdString();
    }
    if (c.arguments.value(0) == QLatin1String("CreateScheduledTask")) {
      const QString calls = run.ToolCalls();
      EXPECT_TRUE(calls.startsWith(QStringLiteral("/create /tn Renovix /xml "))) << calls.toStdString();
      EXPECT_TRUE(calls.endsWith(QStringLiteral(" /f\n"))) << calls.toStdString();
    } else {
      EXPECT_TRUE(run.ToolCalls().isEmpty()) << name.toStdString();
    }
  }
}

// The day's check is made once: a day already checked asks no server, another day
// does. While the request waits, the client goes away: the updater ends, and the
// unanswered request is no check (no date stored). An unknown link value is logged by
// its number.
TEST(RenovixProgramTest, DailyCheckAndTheClientGoingAway) {
  struct Case {
    QString last_check;
    bool asks;
  };
  const Case cases[] = {{Today(), false}, {QStringLiteral("2000-01-01"), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last_check.toStdString());
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    UpdaterSettings(run.SettingsPath()).SetLastCheckUpdateDate(c.last_check);
    // A server that takes the request and never answers.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
    QList<QTcpSocket*> requests;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
      while (QTcpSocket* socket = server.nextPendingConnection()) requests << socket;
    });
    run.env().insert(QStringLiteral("RENOVIX_UPDATE_SERVER"), QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()));

    FakeClient client(run.env());
    ASSERT_TRUE(client.Start());
    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    ASSERT_TRUE(client.WaitForLine(QStringLiteral("received 0")));
    EXPECT_TRUE(client.HasLine(QStringLiteral("watched")));
    if (c.asks) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !requests.isEmpty(); }, 10000));
    } else {
      QTest::qWait(1500);
      EXPECT_TRUE(requests.isEmpty());
    }
    client.Command("send 7");
    ASSERT_TRUE(client.WaitForLine(QStringLiteral("sent 7")));
    QTest::qWait(300);
    ASSERT_TRUE(client.QuitWith(updater));
    EXPECT_EQ(updater.exitCode(), 0);
    const QString log = run.Log();
    EXPECT_TRUE(log.contains(QStringLiteral("App exited, update program exited"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Qtro recv message: unknown (7)"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("[warning] [RENOVIX::zorvax_update]: Unkown message: unknown (7)")))
        << log.toStdString();
    EXPECT_EQ(UpdaterSettings(run.SettingsPath()).GetLastCheckUpdateDate(), c.last_check);
  }
}

// A package verified in an earlier run: the next start hands over at once, without
// the dialog, when the task starts the copy made in the private temporary folder. A
// task that is missing or names another program is found out while the client still
// runs: no hand-over, the package stays pending. A task that cannot be started once
// the client has exited: the client is started again, the dialog says so, and the
// package no longer ends the client at every start.
TEST(RenovixProgramTest, PendingPackageHandsOverAtTheNextStart) {
  struct Case {
    const char* name;
    const char* variable;  // for the task tool
    const char* value;
    bool hands_over;
    bool runs;
    QString logged;
  };
  const Case cases[] = {
      {"task runs", nullptr, nullptr, true, true, QStringLiteral("Run scheduled task successfully")},
      {"no task", "RENOVIX_TEST_TOOL_EXIT", "1", false, false,
       QStringLiteral("[error] [RENOVIX::zorvax_update]: The scheduled task cannot start the update program: the "
                      "task tool ")},
      {"task names another program", "RENOVIX_TEST_TOOL_QUERY", "/elsewhere/Renovix", false, false,
       QStringLiteral("[error] [RENOVIX::zorvax_update]: The scheduled task starts \"/elsewhere/Renovix\", not the "
                      "update program")},
      {"task fails to start", "RENOVIX_TEST_TOOL_RUN_EXIT", "1", true, false,
       QStringLiteral("[error] [RENOVIX::scheduled_task]: Run scheduled task failed: the task tool ")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    if (c.variable) run.env().insert(QString::fromLatin1(c.variable), QString::fromLatin1(c.value));
    {
      UpdaterSettings settings(run.SettingsPath());
      settings.SetUpdateAtNextStartup(true);
      settings.SetLastCheckUpdateDate(Today());
    }
    QFile package(run.InstallerPath());
    ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    package.write("#!/bin/sh\n");
    package.close();

    FakeClient client(run.env());
    ASSERT_TRUE(client.Start());
    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    if (c.hands_over) {
      ASSERT_TRUE(client.WaitForExit(15000));
      EXPECT_EQ(client.Lines().filter(QStringLiteral("received")), QStringList{QStringLiteral("received 1")});
      EXPECT_TRUE(client.HasLine(QStringLiteral("sent 2")));
    } else {
      ASSERT_TRUE(client.WaitForLine(QStringLiteral("received 0"))) << run.Log().toStdString();
      ASSERT_TRUE(client.QuitWith(updater));
      EXPECT_EQ(client.Lines().filter(QStringLiteral("received")), QStringList{QStringLiteral("received 0")});
      EXPECT_EQ(run.ToolCalls(), QStringLiteral("/query /tn Renovix\n"));
    }
    const QString app_path = run.InstallDir() + QStringLiteral("/Castora");
    if (c.hands_over && !c.runs) {
      ExpectTheClientBackAndTheDialogSaying(run, updater);
    } else if (c.hands_over) {
      ASSERT_TRUE(updater.waitForFinished(15000));
      EXPECT_EQ(updater.exitCode(), 0);
    }
    if (c.hands_over) {
      EXPECT_EQ(run.ToolCalls(), QStringLiteral("/query /tn Renovix\n/run /tn Renovix\n"));
    }

    UpdaterSettings settings(run.SettingsPath());
    EXPECT_EQ(settings.GetAppPath(), app_path);
    // The copy that the task starts, in a folder only this user can enter.
    EXPECT_TRUE(QFileInfo(run.PrivateTempDir() + QStringLiteral("/Renovix")).isExecutable());
    EXPECT_TRUE(QFile::exists(run.PrivateTempDir() + QStringLiteral("/VersionConfig.json")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(run.PrivateTempDir()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const QString log = run.Log();
    EXPECT_TRUE(log.contains(QStringLiteral("Update at startup, ready to install"))) << log.toStdString();
    EXPECT_TRUE(log.contains(c.logged)) << log.toStdString();
    EXPECT_EQ(log.contains(QStringLiteral("kNoNeedToUpdate")), !c.hands_over) << log.toStdString();
    EXPECT_EQ(settings.GetUpdateAtNextStartup(), c.runs || !c.hands_over);
    if (c.runs || !c.hands_over) {
      EXPECT_TRUE(run.ClientStarts().isEmpty());
    }
  }
}

}  // namespace

namespace {

// A pending package whose runtime cannot be copied at the start: no hand-over (the
// task would have nothing to start), the client starts normally, and the package stays
// pending for the next start.
TEST(RenovixProgramTest, PendingPackageWaitsWhenTheRuntimeCannotBeCopied) {
  UpdaterRun run;
  ASSERT_TRUE(run.valid());
  {
    UpdaterSettings settings(run.SettingsPath());
    settings.SetUpdateAtNextStartup(true);
    settings.SetLastCheckUpdateDate(Today());
  }
  QFile package(run.InstallerPath());
  ASSERT_TRUE(package.open(QIODevice::WriteOnly));
  package.close();
  // A folder where the copy of the program would go.
  ASSERT_TRUE(QDir().mkpath(run.PrivateTempDir() + QStringLiteral("/Renovix")));

  FakeClient client(run.env());
  ASSERT_TRUE(client.Start());
  QProcess updater;
  run.Start(updater, {QStringLiteral("BackgroundRun")});
  ASSERT_TRUE(client.WaitForLine(QStringLiteral("received 0")));
  ASSERT_TRUE(client.QuitWith(updater));
  EXPECT_EQ(client.Lines().filter(QStringLiteral("received")), QStringList{QStringLiteral("received 0")});
  EXPECT_TRUE(run.ToolCalls().isEmpty());
  EXPECT_TRUE(UpdaterSettings(run.SettingsPath()).GetUpdateAtNextStartup());
  const QString log = run.Log();
  EXPECT_TRUE(log.contains(QStringLiteral("[error] [RENOVIX::zorvax_update]: Copy runtime to temp failed")))
      << log.toStdString();
  // With the system's reason.
  EXPECT_TRUE(log.contains(QStringLiteral("/Renovix\" : false (cannot remove the old file: Is a directory)")))
      << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("App exited, update program exited")));
}

// A client that ends after kInstallNow without kClientExited (it crashed on its way
// out) leaves nothing to wait for: after a grace time, without starting the task, the
// client is started again and the dialog says that the update did not start; the
// package, handed over unasked at the start, is not handed over unasked again.
TEST(RenovixProgramTest, ClientEndingWithoutAWordEndsTheHandOver) {
  UpdaterRun run;
  ASSERT_TRUE(run.valid());
  run.env().insert(QStringLiteral("RENOVIX_FAKE_CLIENT_SILENT"), QStringLiteral("1"));
  UpdaterSettings(run.SettingsPath()).SetUpdateAtNextStartup(true);
  QFile package(run.InstallerPath());
  ASSERT_TRUE(package.open(QIODevice::WriteOnly));
  package.close();

  FakeClient client(run.env());
  ASSERT_TRUE(client.Start());
  QProcess updater;
  run.Start(updater, {QStringLiteral("BackgroundRun")});
  ASSERT_TRUE(client.WaitForExit(15000));
  EXPECT_TRUE(client.HasLine(QStringLiteral("received 1")));
  EXPECT_FALSE(client.HasLine(QStringLiteral("sent 2")));
  ExpectTheClientBackAndTheDialogSaying(run, updater);
  EXPECT_EQ(run.ToolCalls(), QStringLiteral("/query /tn Renovix\n"));
  EXPECT_FALSE(UpdaterSettings(run.SettingsPath()).GetUpdateAtNextStartup());
  EXPECT_TRUE(run.Log().contains(QStringLiteral("[error] [RENOVIX::zorvax_update]: App exited without kClientExited")));
}

}  // namespace

namespace {

// Both programs together, as installed: the client (simulated back-ends) starts the
// updater beside it, which checks with the loopback update server, downloads and
// verifies the package and says kUpdateReady; the client, its window active, asks for
// the dialog. The client's end then ends the updater.
TEST(RenovixProgramTest, ClientAndUpdaterReachTheDialog) {
  UpdaterRun run;
  ASSERT_TRUE(run.valid());
  ASSERT_TRUE(run.PlaceClient(QStringLiteral(CASTORA_PROGRAM)));
  const QString version = run.InstalledVersion();
  ASSERT_FALSE(version.isEmpty());

  updater_test::UpdateServer server;
  ASSERT_TRUE(server.Start());
  const QByteArray package = "#!/bin/sh\nexit 0\n";
  server.SetResponse(QStringLiteral("/download/CastoraSetup"), updater_test::Response::File(package));
  const QJsonObject answer{
      {"name", "Castora"},
      {"originVersionCode", version},
      {"downloadUrl", server.BaseUrl() + QStringLiteral("/download/CastoraSetup")},
      {"fileMd5", QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex())},
      {"hasUpdate", true},
      {"updateDesc", "Bug fixes."}};
  server.SetUpdateReply(QJsonDocument(answer).toJson(QJsonDocument::Compact));
  run.env().insert(QStringLiteral("RENOVIX_UPDATE_SERVER"), server.BaseUrl());
  run.env().insert(QStringLiteral("CASTORA_PLATFORM"), QStringLiteral("sim"));

  QProcess client;
  client.setProcessEnvironment(run.env());
  client.setProcessChannelMode(QProcess::ForwardedChannels);
  client.start(run.InstallDir() + QStringLiteral("/Castora"), QStringList());
  ASSERT_TRUE(client.waitForStarted(10000));
  const bool asked = QTest::qWaitFor(
      [&] { return run.Log().contains(QStringLiteral("Qtro recv message: kShowUpdateDialog")); }, 60000);
  client.terminate();
  client.waitForFinished(10000);
  if (client.state() != QProcess::NotRunning) {
    client.kill();
    client.waitForFinished(5000);
  }
  const QString log = run.Log();
  EXPECT_TRUE(asked) << log.toStdString();
  EXPECT_EQ(server.RequestsFor(updater_test::UpdateServer::UpdatePath()).size(), 1u);
  EXPECT_EQ(server.RequestsFor(QStringLiteral("/download/CastoraSetup")).size(), 1u);
  EXPECT_TRUE(log.contains(QStringLiteral("Qtro send message: kNoNeedToUpdate")));
  EXPECT_TRUE(log.contains(QStringLiteral("Qtro send message: kUpdateReady")));
  EXPECT_TRUE(QFileInfo(run.InstallerPath()).isExecutable());
  UpdaterSettings settings(run.SettingsPath());
  EXPECT_TRUE(settings.GetUpdateAtNextStartup());
  EXPECT_EQ(settings.GetUpdateDescription(), QStringLiteral("Bug fixes."));
  // The updater follows the client out.
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.Log().contains(QStringLiteral("App exited, update program exited")); },
                              10000));
}

}  // namespace

namespace {

// The day's check offers a package: it is downloaded and its MD5 compared exactly
// with the server's text. A match makes it executable, keeps it pending with its
// description and tells the client, which asks for the dialog; an MD5 in upper case
// never matches, and the file is deleted without a word to the client.
TEST(RenovixProgramTest, OfferedPackageIsVerifiedBeforeTheClientHears) {
  const QByteArray package = "#!/bin/sh\nexit 0\n";
  const QString md5 = QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());
  for (const bool upper_case : {false, true}) {
    SCOPED_TRACE(upper_case ? "upper-case MD5" : "lower-case MD5");
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    const QString version = run.InstalledVersion();
    ASSERT_FALSE(version.isEmpty());
    updater_test::UpdateServer server;
    ASSERT_TRUE(server.Start());
    server.SetResponse(QStringLiteral("/download/CastoraSetup"), updater_test::Response::File(package));
    const QJsonObject answer{{"name", "Castora"},
                             {"originVersionCode", version},
                             {"downloadUrl", server.BaseUrl() + QStringLiteral("/download/CastoraSetup")},
                             {"fileMd5", upper_case ? md5.toUpper() : md5},
                             {"hasUpdate", true},
                             {"updateDesc", "Bug fixes."}};
    server.SetUpdateReply(QJsonDocument(answer).toJson(QJsonDocument::Compact));
    run.env().insert(QStringLiteral("RENOVIX_UPDATE_SERVER"), server.BaseUrl());
    run.env().insert(QStringLiteral("RENOVIX_FAKE_CLIENT_ASK"), QStringLiteral("1"));

    FakeClient client(run.env());
    ASSERT_TRUE(client.Start());
    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.RequestsFor(QStringLiteral("/download/CastoraSetup")).empty(); },
                                15000));
    if (upper_case) {
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return run.Log().contains(QStringLiteral("Installation package MD5 does not match")); }, 10000));
    } else {
      ASSERT_TRUE(client.WaitForLine(QStringLiteral("received 3")));
      EXPECT_TRUE(QTest::qWaitFor(
          [&] { return run.Log().contains(QStringLiteral("Qtro recv message: kShowUpdateDialog")); }, 10000));
    }
    QTest::qWait(300);
    ASSERT_TRUE(client.QuitWith(updater));

    UpdaterSettings settings(run.SettingsPath());
    EXPECT_EQ(settings.GetLastCheckUpdateDate(), Today());
    EXPECT_EQ(settings.GetLastDownloadFileMd5(), answer.value(QStringLiteral("fileMd5")).toString());
    EXPECT_EQ(settings.GetUpdateAtNextStartup(), !upper_case);
    EXPECT_EQ(client.HasLine(QStringLiteral("received 3")), !upper_case);
    if (upper_case) {
      EXPECT_FALSE(QFile::exists(run.InstallerPath()));
    } else {
      EXPECT_TRUE(QFileInfo(run.InstallerPath()).isExecutable());
      EXPECT_EQ(settings.GetUpdateDescription(), QStringLiteral("Bug fixes."));
    }
  }
}

}  // namespace

namespace {

// One temporary folder for two users, as /tmp is: open to all, sticky.
class SharedTempFolder {
 public:
  SharedTempFolder() : dir_(QStringLiteral(RENOVIX_TEST_WORK_DIR "/shared-XXXXXX")) {
    valid_ = dir_.isValid() && ::chmod(QFile::encodeName(dir_.path()).constData(), 01777) == 0;
  }
  bool valid() const { return valid_; }
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  bool valid_ = false;
};

// Two users on one machine, one temporary folder: each user's updater finds the link
// of its own user's client, and each client's end ends only its own updater.
TEST(RenovixTwoUsersTest, EachUpdaterFindsItsOwnClient) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  SharedTempFolder shared;
  ASSERT_TRUE(shared.valid());
  UpdaterRun mine;
  UpdaterRun theirs;
  ASSERT_TRUE(mine.valid() && theirs.valid());
  ASSERT_TRUE(theirs.RunAsSecondUser());
  mine.env().insert(QStringLiteral("TMPDIR"), shared.path());
  theirs.env().insert(QStringLiteral("TMPDIR"), shared.path());

  // We start first; the other user, who cannot take over a name of ours in the
  // sticky folder, starts second.
  FakeClient my_client(mine.env());
  ASSERT_TRUE(my_client.Start());
  QProcess my_updater;
  mine.Start(my_updater, {QStringLiteral("BackgroundRun")});
  ASSERT_TRUE(my_client.WaitForLine(QStringLiteral("received 0"))) << mine.Log().toStdString();
  FakeClient their_client(theirs.env(), true);
  ASSERT_TRUE(their_client.Start());
  QProcess their_updater;
  theirs.Start(their_updater, {QStringLiteral("BackgroundRun")});
  ASSERT_TRUE(their_client.WaitForLine(QStringLiteral("received 0"))) << theirs.Log().toStdString();

  ASSERT_TRUE(their_client.QuitWith(their_updater));
  EXPECT_EQ(my_updater.state(), QProcess::Running);
  ASSERT_TRUE(my_client.QuitWith(my_updater));
  for (UpdaterRun* run : {&mine, &theirs}) {
    const QString log = run->Log();
    EXPECT_TRUE(log.contains(QStringLiteral("App exited, update program exited"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Qtro host of"))) << log.toStdString();
  }
}

// The task registered once by root from a package script (no display, root's own
// data folder, with or without a runtime folder) serves a user, whose Update runs the
// installer as that user with "/S /type update": the task tool finds the user's copy
// where the user's updater made it, in the user's own environment (with or without
// XDG_RUNTIME_DIR). A runtime folder that another user can write is not used, and the
// program that user planted there never runs.
TEST(RenovixTwoUsersTest, TheTaskRegisteredByRootServesTheUser) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  struct Case {
    const char* name;
    bool root_has_runtime;
    bool user_has_runtime;
    bool runtime_open_to_others;  // 0777, with <runtime>/Renovix of another user in it
    const char* copy_folder;      // below the run's folder
  };
  const Case cases[] = {
      {"registered without, updated with XDG_RUNTIME_DIR", false, true, false, "runtime/Renovix"},
      {"registered with, updated without XDG_RUNTIME_DIR", true, false, false, "data/CastoraUpdate/temp"},
      {"runtime folder open to others", false, true, true, "data/CastoraUpdate/temp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SharedTempFolder shared;
    ASSERT_TRUE(shared.valid());
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    ASSERT_TRUE(run.PlaceTaskTool(QStringLiteral(RENOVIX_TASKS_PROGRAM)));
    run.env().insert(QStringLiteral("TMPDIR"), shared.path());

    // The package script: root, its own home and data, no display.
    QProcessEnvironment root_env = run.env();
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
      root_env.remove(QString::fromLatin1(variable));
    for (const char* sub : {"root-home", "root-runtime"}) QDir(run.Path(QString())).mkpath(QString::fromLatin1(sub));
    ASSERT_EQ(::chmod(QFile::encodeName(run.Path(QStringLiteral("root-runtime"))).constData(), 0700), 0);
    root_env.insert(QStringLiteral("HOME"), run.Path(QStringLiteral("root-home")));
    root_env.insert(QStringLiteral("XDG_DATA_HOME"), run.Path(QStringLiteral("root-home/.local/share")));
    root_env.insert(QStringLiteral("APPDATA"), run.Path(QStringLiteral("root-home/appdata")));
    if (c.root_has_runtime) root_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run.Path(QStringLiteral("root-runtime")));
    QProcess registration;
    registration.setProcessEnvironment(root_env);
    registration.setProcessChannelMode(QProcess::ForwardedChannels);
    registration.start(run.InstallDir() + QStringLiteral("/Renovix"), {QStringLiteral("CreateScheduledTask")});
    ASSERT_TRUE(registration.waitForFinished(30000));
    ASSERT_EQ(registration.exitCode(), 0);
    const QString machine_task = run.InstallDir() + QStringLiteral("/tasks/Renovix.xml");
    ASSERT_TRUE(QFile::exists(machine_task));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(machine_task).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(QFile::exists(run.Path(QStringLiteral("root-home/.local/share/CastoraUpdate/tasks"))));

    // The user's pending package: an installer that says who ran it with what, then
    // ends the install run (which would wait for OK on its last page).
    {
      UpdaterSettings settings(run.SettingsPath());
      settings.SetUpdateAtNextStartup(true);
      settings.SetLastCheckUpdateDate(Today());
    }
    const QString ran = run.Path(QStringLiteral("data/installer-ran"));
    ASSERT_TRUE(WriteScript(run.InstallerPath(),
                            "#!/bin/sh\necho \"$(id -u) $*\" > \"" + ran.toLocal8Bit() + "\"\nkill $PPID\n"));
    const QString planted_ran = run.Path(QStringLiteral("data/planted-ran"));
    ASSERT_TRUE(run.RunAsSecondUser());
    if (!c.user_has_runtime) run.env().remove(QStringLiteral("XDG_RUNTIME_DIR"));
    if (c.runtime_open_to_others) {
      // Another user (4243) made the copy's folder first, with a program of theirs.
      const QString planted = run.PrivateTempDir();
      ASSERT_TRUE(QDir().mkpath(planted));
      ASSERT_TRUE(WriteScript(planted + QStringLiteral("/Renovix"),
                              "#!/bin/sh\necho \"$*\" >> \"" + planted_ran.toLocal8Bit() + "\"\n"));
      ASSERT_EQ(::chmod(QFile::encodeName(planted + QStringLiteral("/Renovix")).constData(), 0777), 0);
      ASSERT_EQ(::chmod(QFile::encodeName(planted).constData(), 0777), 0);
      ASSERT_EQ(::lchown(QFile::encodeName(planted).constData(), 4243, 4243), 0);
      ASSERT_EQ(::lchown(QFile::encodeName(planted + QStringLiteral("/Renovix")).constData(), 4243, 4243), 0);
      ASSERT_EQ(::chmod(QFile::encodeName(run.Path(QStringLiteral("runtime"))).constData(), 0777), 0);
    }

    FakeClient client(run.env(), true);
    ASSERT_TRUE(client.Start());
    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    ASSERT_TRUE(client.WaitForExit(15000)) << run.Log().toStdString();
    ASSERT_TRUE(updater.waitForFinished(15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ran); }, 20000)) << run.Log().toStdString();
    EXPECT_EQ(ReadAll(ran), QStringLiteral("%1 /S /type update\n").arg(testing_support::kSecondUid));
    EXPECT_TRUE(QFileInfo(run.Path(QString::fromLatin1(c.copy_folder)) + QStringLiteral("/Renovix")).isExecutable());
    const QString log = run.Log();
    EXPECT_TRUE(log.contains(QStringLiteral("Run scheduled task successfully"))) << log.toStdString();
    EXPECT_EQ(log.contains(QStringLiteral("XDG_RUNTIME_DIR")), c.runtime_open_to_others) << log.toStdString();
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(planted_ran));
  }
}

// Without a runtime folder of ours the names live in the shared temporary folder, and
// another user's program may hold them first: the client's server (nothing to follow
// then: the updater ends at once), or only the link's node (the updater waits for a
// host of its own and ends with its client). Neither is told anything or obeyed.
TEST(RenovixTwoUsersTest, AStrangerOnOurNamesIsNeitherFollowedNorObeyed) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  for (const bool squats_client_server : {true, false}) {
    SCOPED_TRACE(squats_client_server ? "client server and link" : "link only");
    SharedTempFolder shared;
    ASSERT_TRUE(shared.valid());
    UpdaterRun run;
    ASSERT_TRUE(run.valid());
    run.env().insert(QStringLiteral("TMPDIR"), shared.path());
    run.env().remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // The stranger takes our names first (its sockets are open to us, as an
    // attacker's would be; we run as root and pass any mode in any case).
    QProcessEnvironment stranger_env = run.env();
    stranger_env.insert(QStringLiteral("RENOVIX_FAKE_CLIENT_NODE"),
                        QStringLiteral("local:") + utils::PerUserName(QString::fromLatin1(updater_link::kNodeBaseName)));
    if (squats_client_server)
      stranger_env.insert(QStringLiteral("RENOVIX_FAKE_CLIENT_SERVER"),
                          utils::SingleApplication::ServerNameFor(QStringLiteral("Castora")));
    FakeClient stranger(stranger_env, true);
    ASSERT_TRUE(stranger.Start());
    // Our own client, hosting its link elsewhere, so that the stranger's stays the one
    // under our node's name.
    QProcessEnvironment own_env = run.env();
    own_env.insert(QStringLiteral("RENOVIX_FAKE_CLIENT_NODE"), QStringLiteral("local:renovix-not-the-node"));
    FakeClient own(own_env);
    if (!squats_client_server) {
      ASSERT_TRUE(own.Start());
    }

    QProcess updater;
    run.Start(updater, {QStringLiteral("BackgroundRun")});
    if (squats_client_server) {
      ASSERT_TRUE(updater.waitForFinished(15000));
      EXPECT_TRUE(run.Log().contains(
          QStringLiteral("[error] [RENOVIX::zorvax_update]: Connect to app socket failed: the server is run by user 65534")))
          << run.Log().toStdString();
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return run.Log().contains(QStringLiteral("Qtro host of")); }, 15000));
      EXPECT_TRUE(run.Log().contains(QStringLiteral("[error] [RENOVIX::transfer_message]: Qtro host of user 65534 refused")))
          << run.Log().toStdString();
      // The stranger orders an installation; nobody hears it.
      stranger.Command("send 1");
      ASSERT_TRUE(stranger.WaitForLine(QStringLiteral("sent 1")));
      ASSERT_TRUE(own.QuitWith(updater));
      EXPECT_TRUE(run.Log().contains(QStringLiteral("App exited, update program exited")));
    }
    EXPECT_EQ(updater.exitCode(), 0);
    const QString log = run.Log();
    EXPECT_FALSE(log.contains(QStringLiteral("Qtro recv message"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Qtro state: Valid"))) << log.toStdString();
    EXPECT_TRUE(stranger.Lines().filter(QStringLiteral("received")).isEmpty());
    EXPECT_TRUE(run.ToolCalls().isEmpty());
  }
}

// With a runtime folder of our own (mode 0700) both names live there: a stranger who
// holds them in the shared temporary folder first changes nothing, and the updater
// finds and follows our client.
TEST(RenovixTwoUsersTest, NamesInOurRuntimeFolderCannotBeTakenFirst) {
  const QString missing = testing_support::SecondUserMissing();
  if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
  SharedTempFolder shared;
  ASSERT_TRUE(shared.valid());
  UpdaterRun run;  // XDG_RUNTIME_DIR: a folder of ours with mode 0700
  ASSERT_TRUE(run.valid());
  run.env().insert(QStringLiteral("TMPDIR"), shared.path());
  QProcessEnvironment stranger_env = run.env();
  stranger_env.insert(QStringLiteral("RENOVIX_FAKE_CLIENT_NODE"),
                      QStringLiteral("local:") + utils::PerUserName(QString::fromLatin1(updater_link::kNodeBaseName)));
  stranger_env.insert(QStringLiteral("RENOVIX_FAKE_CLIENT_SERVER"), utils::PerUserName(QStringLiteral("Castora")));
  FakeClient stranger(stranger_env, true);
  ASSERT_TRUE(stranger.Start());
  ASSERT_TRUE(QFile::exists(shared.path() + QStringLiteral("/") + utils::PerUserName(QStringLiteral("Castora"))));

  FakeClient own(run.env());
  ASSERT_TRUE(own.Start());
  QProcess updater;
  run.Start(updater, {QStringLiteral("BackgroundRun")});
  ASSERT_TRUE(own.WaitForLine(QStringLiteral("received 0"))) << run.Log().toStdString();
  ASSERT_TRUE(own.QuitWith(updater));
  const QString log = run.Log();
  EXPECT_TRUE(log.contains(QStringLiteral("App exited, update program exited"))) << log.toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral("Connect to app socket failed"))) << log.toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral("Qtro host of"))) << log.toStdString();
  EXPECT_TRUE(stranger.Lines().filter(QStringLiteral("received")).isEmpty());
}

}  // namespace
