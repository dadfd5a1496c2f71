#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/updater/hardware_address.h"
#include "platform/updater/private_temp_folder.h"
#include "platform/updater/task_store.h"
#include "platform/updater/task_tool.h"
#include "platform/updater/update_service.h"
#include "tests/support/scoped_env.h"

namespace {

using platform::updater::NetworkInterfaceFacts;

using testing_support::ScopedEnv;

TEST(UpdateServiceTest, EnvironmentOverridesTheCompiledDefault) {
  const struct {
    QByteArray env;
    QString expected;
  } cases[] = {
      {QByteArray(), platform::updater::DefaultUpdateServerAddress()},
      {QByteArray(""), platform::updater::DefaultUpdateServerAddress()},
      {"http://127.0.0.1:8808", "http://127.0.0.1:8808"},
      {"https://updates.example.test/", "https://updates.example.test"},
  };
  for (const auto& c : cases) {
    ScopedEnv env(platform::updater::kUpdateServerEnv, c.env);
    EXPECT_EQ(platform::updater::UpdateServerAddress(), c.expected) << c.env.constData();
  }
  EXPECT_FALSE(platform::updater::DefaultUpdateServerAddress().endsWith('/'));
}

TEST(HardwareAddressTest, FirstUpRunningNonLoopbackInterfaceWins) {
  const QString a = QStringLiteral("AA:BB:CC:DD:EE:01");
  const QString b = QStringLiteral("AA:BB:CC:DD:EE:02");
  const struct {
    const char* what;
    std::vector<NetworkInterfaceFacts> interfaces;
    QString expected;
  } cases[] = {
      {"none", {}, QString()},
      {"loopback only", {{true, true, true, QStringLiteral("00:00:00:00:00:00")}}, QString()},
      {"down, then up", {{false, false, false, a}, {true, true, false, b}}, b},
      {"up but not running", {{true, false, false, a}, {true, true, false, b}}, b},
      {"order decides", {{true, true, true, a}, {true, true, false, a}, {true, true, false, b}}, a},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform::updater::PickHardwareAddress(c.interfaces), c.expected) << c.what;

  ScopedEnv env(platform::updater::kLoopbackOnlyEnv, "1");
  EXPECT_EQ(platform::updater::HardwareAddress(), QString());
}

TEST(PrivateTempFolderTest, IsPrivateToTheUserAndNeverAFollowedLink) {
  QTemporaryDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
  const QString folder = platform::updater::PrivateTempFolder();
  EXPECT_EQ(folder, dir.path() + QStringLiteral("/Renovix"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  // A folder left open to others is closed again.
  ::chmod(QFile::encodeName(folder).constData(), 0777);
  EXPECT_EQ(platform::updater::PrivateTempFolder(), folder);
  ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  // A link planted in its place is not followed: the folder in the user's data
  // folder serves instead, as it does without a runtime folder.
  const QString fallback =
      qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/CastoraUpdate/temp");
  QTemporaryDir other;
  ASSERT_TRUE(QDir(folder).removeRecursively());
  ASSERT_TRUE(QFile::link(other.path(), folder));
  EXPECT_EQ(platform::updater::PrivateTempFolder().toStdString(), fallback.toStdString());

  // A runtime folder that others can write, or a link to one of ours, is not the
  // user's own (the sockets' rule): the folder in the data folder serves.
  for (const bool as_link : {false, true}) {
    QTemporaryDir other_runtime;
    QString runtime_path = other_runtime.path();
    if (as_link) {
      runtime_path = other_runtime.filePath(QStringLiteral("link"));
      ASSERT_TRUE(QDir().mkpath(other_runtime.filePath(QStringLiteral("own"))));
      ASSERT_EQ(::chmod(QFile::encodeName(other_runtime.filePath(QStringLiteral("own"))).constData(), 0700), 0);
      ASSERT_TRUE(QFile::link(other_runtime.filePath(QStringLiteral("own")), runtime_path));
    } else {
      ASSERT_EQ(::chmod(QFile::encodeName(runtime_path).constData(), 0777), 0);
    }
    ScopedEnv env("XDG_RUNTIME_DIR", runtime_path.toLocal8Bit());
    EXPECT_EQ(platform::updater::PrivateTempFolder().toStdString(), fallback.toStdString()) << as_link;
  }

  ScopedEnv no_runtime("XDG_RUNTIME_DIR", QByteArray());
  EXPECT_EQ(platform::updater::PrivateTempFolder().toStdString(), fallback.toStdString());
  ASSERT_EQ(::stat(QFile::encodeName(fallback).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
}

QByteArray TaskDocumentUtf16(const QString& command, const QString& arguments) {
  const QString text = QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
      "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
      "<Actions Context=\"Author\"><Exec><Command>%1</Command><Arguments>%2</Arguments>"
      "</Exec></Actions></Task>\n")
                           .arg(command.toHtmlEscaped(), arguments.toHtmlEscaped());
  QByteArray bytes("\xFF\xFE", 2);
  for (QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

TEST(TaskDocumentTest, ActionIsReadAndBadDocumentsAreRefused) {
  platform::updater::TaskAction action;
  QString error;
  ASSERT_TRUE(platform::updater::ParseTaskDocument(
      TaskDocumentUtf16(QStringLiteral("/run/a&b/Renovix"), QStringLiteral("Install \"x y\"")),
      &action, &error))
      << error.toStdString();
  EXPECT_EQ(action.command, QStringLiteral("/run/a&b/Renovix"));
  EXPECT_EQ(action.arguments, (QStringList{"Install", "x y"}));

  const struct {
    const char* what;
    QByteArray bytes;
  } bad[] = {
      {"empty", QByteArray()},
      {"not XML", QByteArray("\xFF\xFEx\0y\0", 6)},
      {"other root", "<Other><Actions><Exec><Command>/bin/true</Command></Exec></Actions></Other>"},
      {"no command", "<Task><Actions><Exec><Arguments>Install</Arguments></Exec></Actions></Task>"},
      {"empty command", TaskDocumentUtf16(QString(), QStringLiteral("Install"))},
      {"unclosed", "<Task><Actions><Exec><Command>/bin/true</Command></Exec>"},
  };
  for (const auto& c : bad) {
    EXPECT_FALSE(platform::updater::ParseTaskDocument(c.bytes, &action, &error)) << c.what;
  }
}

class TaskToolTest : public testing::Test {
 protected:
  void SetUp() override {
    xml_ = dir_.filePath(QStringLiteral("task.xml"));
    marker_ = dir_.filePath(QStringLiteral("started"));
    script_ = dir_.filePath(QStringLiteral("installer.sh"));
    QFile script(script_);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nmv \"$0.args\" \"$(dirname \"$0\")/started\"\n");
    script.close();
    QFile::setPermissions(script_, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    WriteDocument(script_, QStringLiteral("Install"));
  }
  void WriteDocument(const QString& command, const QString& arguments) {
    QFile file(xml_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(TaskDocumentUtf16(command, arguments));
  }
  // Runs the built tool, placed in a folder of this test (its store for every user is
  // beside it), with the data and runtime folders of this test.
  int Tool(const QStringList& arguments, QString* output = nullptr) {
    const QString tool = dir_.filePath(QStringLiteral("bin/renovix-tasks"));
    if (!QFile::exists(tool)) {
      EXPECT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("bin"))));
      EXPECT_TRUE(QFile::copy(QStringLiteral(RENOVIX_TASKS_PROGRAM), tool));
      QDir().mkpath(dir_.filePath(QStringLiteral("runtime")));
      ::chmod(QFile::encodeName(dir_.filePath(QStringLiteral("runtime"))).constData(), 0700);
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir_.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("runtime")));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(tool, arguments);
    EXPECT_TRUE(process.waitForFinished(10000));
    if (output) *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }
  // Root registers for every user, beside the tool; a user for themselves.
  QString Stored(const char* name) const {
    return dir_.filePath((::geteuid() == 0 ? QStringLiteral("bin/tasks/%1.xml")
                                           : QStringLiteral("data/CastoraUpdate/tasks/%1.xml"))
                             .arg(QLatin1String(name)));
  }

  QTemporaryDir dir_;
  QString xml_, marker_, script_;
};

TEST_F(TaskToolTest, CreateRefusesToReplaceWithoutForce) {
  EXPECT_EQ(Tool({"/create", "/tn", "Renovix", "/xml", xml_}), 0);
  EXPECT_TRUE(QFile::exists(Stored("Renovix")));
  WriteDocument(QStringLiteral("/bin/other"), QStringLiteral("Install"));
  EXPECT_NE(Tool({"/create", "/tn", "Renovix", "/xml", xml_}), 0);
  EXPECT_NE(QFile(Stored("Renovix")).size(), 0);
  EXPECT_EQ(Tool({"/create", "/tn", "Renovix", "/xml", xml_, "/f"}), 0);
  QFile stored(Stored("Renovix"));
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  platform::updater::TaskAction action;
  QString error;
  ASSERT_TRUE(platform::updater::ParseTaskDocument(stored.readAll(), &action, &error));
  EXPECT_EQ(action.command, QStringLiteral("/bin/other"));
}

TEST_F(TaskToolTest, RunStartsTheCommandWithItsArguments) {
  ASSERT_EQ(Tool({"/create", "/tn", "Renovix", "/xml", xml_, "/f"}), 0);
  EXPECT_EQ(Tool({"/run", "/tn", "Renovix"}), 0);
  for (int i = 0; i < 100 && !QFile::exists(marker_); ++i) QTest::qWait(50);
  QFile started(marker_);
  ASSERT_TRUE(started.open(QIODevice::ReadOnly));
  EXPECT_EQ(started.readAll(), QByteArray("Install\n"));
}

// The program a task starts: a bare name is the user's copy in the private temporary
// folder, found when the task starts; a task document or a program that another user
// could change is refused, and nothing is started.
TEST_F(TaskToolTest, QueryNamesTheProgramAndRefusesWhatOthersCanChange) {
  const QString copy = dir_.filePath(QStringLiteral("runtime/Renovix/installer.sh"));
  const QString open_folder = dir_.filePath(QStringLiteral("open"));
  const QString foreign = dir_.filePath(QStringLiteral("foreign.sh"));
  struct Case {
    const char* what;
    QString command;
    mode_t document_mode;
    QString expected;  // empty: refused
  };
  const Case cases[] = {
      {"bare name", QStringLiteral("installer.sh"), 0644, copy},
      {"own program", script_, 0644, script_},
      {"document others can write", script_, 0666, QString()},
      {"program of another user", foreign, 0644, QString()},
      {"program in a folder others can write", open_folder + QStringLiteral("/installer.sh"), 0644, QString()},
  };
  QString output;
  ASSERT_NE(Tool({"/query", "/tn", "Renovix"}, &output), 0);  // no task yet
  ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()));
  ASSERT_TRUE(QFile::copy(script_, copy));
  ASSERT_TRUE(QFile::copy(script_, foreign));
  ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 4243, 4243), 0);
  ASSERT_TRUE(QDir().mkpath(open_folder));
  ASSERT_TRUE(QFile::copy(script_, open_folder + QStringLiteral("/installer.sh")));
  ASSERT_EQ(::chmod(QFile::encodeName(open_folder).constData(), 0777), 0);
  for (const Case& c : cases) {
    WriteDocument(c.command, QStringLiteral("Install"));
    ASSERT_EQ(Tool({"/create", "/tn", "Renovix", "/xml", xml_, "/f"}), 0) << c.what;
    ASSERT_EQ(::chmod(QFile::encodeName(Stored("Renovix")).constData(), c.document_mode), 0);
    EXPECT_EQ(Tool({"/query", "/tn", "Renovix"}, &output), c.expected.isEmpty() ? 1 : 0) << c.what;
    if (c.expected.isEmpty()) {
      EXPECT_NE(Tool({"/run", "/tn", "Renovix"}), 0) << c.what;
    } else {
      EXPECT_EQ(output, c.expected) << c.what;
    }
  }
  // The installation's registration comes before a user's own (one left from an
  // older installation, say), which serves where the installation has none.
  if (::geteuid() == 0) {
    const QString own = dir_.filePath(QStringLiteral("data/CastoraUpdate/tasks/Renovix.xml"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(own).path()));
    QFile file(own);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(TaskDocumentUtf16(copy, QStringLiteral("Install")));
    file.close();
    WriteDocument(script_, QStringLiteral("Install"));
    ASSERT_EQ(Tool({"/create", "/tn", "Renovix", "/xml", xml_, "/f"}), 0);
    EXPECT_EQ(Tool({"/query", "/tn", "Renovix"}, &output), 0);
    EXPECT_EQ(output, script_);
    ASSERT_TRUE(QFile::remove(Stored("Renovix")));
    EXPECT_EQ(Tool({"/query", "/tn", "Renovix"}, &output), 0);
    EXPECT_EQ(output, copy);
  }
  QTest::qWait(300);
  EXPECT_FALSE(QFile::exists(marker_));
}

TEST_F(TaskToolTest, BadCommandLinesAndUnknownTasksFail) {
  const QStringList bad[] = {
      {},
      {"/run", "/tn", "NoSuchTask"},
      {"/run"},
      {"/create", "/tn", "Renovix"},
      {"/create", "/tn", "../escape", "/xml", xml_, "/f"},
      {"/create", "/tn", "Renovix", "/xml", dir_.filePath(QStringLiteral("missing.xml"))},
      {"/delete", "/tn", "Renovix"},
      {"/run", "/tn", "Renovix", "/f"},
  };
  for (const QStringList& args : bad) EXPECT_NE(Tool(args), 0) << args.join(' ').toStdString();
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("data/CastoraUpdate/escape.xml"))));
}

TEST(TaskToolProgramTest, EnvironmentNamesAnotherTool) {
  {
    ScopedEnv env(platform::updater::kTaskToolEnv, "/opt/recorder");
    EXPECT_EQ(platform::updater::TaskToolProgram(), QStringLiteral("/opt/recorder"));
  }
  ScopedEnv env(platform::updater::kTaskToolEnv, QByteArray());
  EXPECT_EQ(platform::updater::TaskToolProgram(),
            QCoreApplication::applicationDirPath() + QStringLiteral("/renovix-tasks"));
  ScopedEnv missing(platform::updater::kTaskToolEnv, "/nonexistent/tool");
  EXPECT_EQ(platform::updater::RunTaskTool({QStringLiteral("/run")}), -1);
}

// A tool that does not end is ended after the time-out, with what it started.
TEST(TaskToolProgramTest, ToolThatHangsIsEndedWithItsChildren) {
  QTemporaryDir dir;
  const QString tool = dir.filePath(QStringLiteral("tool.sh"));
  const QString pid_file = dir.filePath(QStringLiteral("child"));
  QFile script(tool);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\nsleep 600 &\necho $! > \"" + pid_file.toLocal8Bit() + "\"\nwait\n");
  script.close();
  ASSERT_TRUE(QFile::setPermissions(tool, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  ScopedEnv env(platform::updater::kTaskToolEnv, tool.toLocal8Bit());
  QString failure;
  EXPECT_EQ(platform::updater::RunTaskTool({QStringLiteral("/run")}, 1000, &failure), -1);
  EXPECT_TRUE(failure.contains(QStringLiteral("did not end within 1000 ms"))) << failure.toStdString();
  QFile pid(pid_file);
  ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
  const QString stat = QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.readAll().trimmed()));
  // Gone, or ended and waiting to be reaped.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        QFile f(stat);
        return !f.open(QIODevice::ReadOnly) || f.readAll().contains(") Z ");
      },
      5000));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
