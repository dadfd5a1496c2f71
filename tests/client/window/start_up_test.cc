// The client program from outside: built from the real main with the fake Controller,
// beside the helper that poses as the updater under the updater's name.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A process environment of its own: the temporary folder (where the local sockets of
// the single-instance server and the updater link live), settings and logs.
class ClientRun {
 public:
  ClientRun() {
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("TMPDIR"), dir_.path());
    env_.insert(QStringLiteral("XDG_DATA_HOME"), dir_.filePath(QStringLiteral("data")));
    env_.insert(QStringLiteral("APPDATA"), dir_.filePath(QStringLiteral("appdata")));
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env_.insert(QStringLiteral("CASTORA_FAKE_CONTROLLER_TRACE"), QStringLiteral("1"));
    env_.insert(QStringLiteral("CASTORA_FAKE_UPDATER_LOG"), UpdaterLogPath());
  }

  void Set(const QString& name, const QString& value) { env_.insert(name, value); }
  QString UpdaterLogPath() const { return dir_.filePath(QStringLiteral("updater.log")); }

  void Start(QProcess& process) {
    process.setProcessEnvironment(env_);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(CASTORA_FAKE_CLIENT), QStringList());
  }

  // What the updater received, one value per line.
  QString UpdaterLog() const {
    QFile file(UpdaterLogPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
  }

 private:
  QTemporaryDir dir_;
  QProcessEnvironment env_;
};

// kInstallNow: the client stops what it shares, tells the updater kClientExited, and
// ends with 0. Here the updater first says 0 and 3, the client asks for the dialog (4)
// once its window is up and active, and the updater answers with kInstallNow.
TEST(StartUpTest, InstallNowEndsTheClientAfterTellingTheUpdater) {
  ClientRun run;
  run.Set(QStringLiteral("CASTORA_FAKE_UPDATER_SEND"), QStringLiteral("0,3"));
  run.Set(QStringLiteral("CASTORA_FAKE_UPDATER_ON4"), QStringLiteral("1"));
  QProcess client;
  run.Start(client);
  ASSERT_TRUE(client.waitForFinished(60000)) << client.readAllStandardError().constData();
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 0);
  const QString out = QString::fromLatin1(client.readAllStandardOutput());
  // The window existed: sharing was stopped before the end.
  EXPECT_TRUE(out.contains(QStringLiteral("controller: TeardownVideo\ncontroller: TeardownAudio\n"
                                          "controller: StopRemoteInput\n")))
      << out.toStdString();
  // The updater (detached) got the last word.
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.UpdaterLog() == QStringLiteral("4\n2\n"); }, 15000))
      << run.UpdaterLog().toStdString();
}

TEST(StartUpTest, InstallNowAtOnceEndsTheClientWithZero) {
  ClientRun run;
  run.Set(QStringLiteral("CASTORA_FAKE_UPDATER_SEND"), QStringLiteral("1"));
  QProcess client;
  run.Start(client);
  ASSERT_TRUE(client.waitForFinished(60000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.UpdaterLog() == QStringLiteral("2\n"); }, 15000))
      << run.UpdaterLog().toStdString();
}

// A second start of the same user ends at once with 255; the first runs on.
TEST(StartUpTest, SecondStartEndsWith255) {
  ClientRun run;
  run.Set(QStringLiteral("CASTORA_FAKE_UPDATER_SEND"), QStringLiteral("0"));
  QProcess first;
  run.Start(first);
  // Up once the window (and so its Controller) exists.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        first.waitForReadyRead(100);
        return first.peek(1 << 16).contains("controller: Construct");
      },
      30000));
  QProcess second;
  run.Start(second);
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitCode(), 255);
  EXPECT_FALSE(second.readAllStandardOutput().contains("controller: Construct"));
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(10000);
}

// The interface language follows the system's UI languages, in order; English when
// none has a catalogue.
TEST(StartUpTest, TranslationFollowsTheUiLanguages) {
  struct Case {
    const char* language;
    const char* unconnected;
  };
  const Case cases[] = {
      {"fr", "Aucun appareil connecté"},
      {"fr_CA:en_US", "Aucun appareil connecté"},
      {"nl", "No device connected"},
      {"nl:de", "Kein Gerät verbunden"},
      {"en_GB", "No device connected"},
  };
  for (const Case& c : cases) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANGUAGE"), QString::fromLatin1(c.language));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(CASTORA_TRANSLATION_PROBE), QStringList());
    ASSERT_TRUE(probe.waitForFinished(30000)) << c.language;
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3) << c.language;
    EXPECT_EQ(lines[0], QString::fromUtf8(c.unconnected)) << c.language;
    // The key texts are sentences in every language, English included.
    EXPECT_NE(lines[2], QStringLiteral("QuitTips")) << c.language;
  }
}

}  // namespace
