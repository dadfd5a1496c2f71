// The client program from outside: built from the real main with the fake Controller,
// beside the helper that poses as the updater under the updater's name.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/audio/pulse_test_server.h"
#include "utils/local_peer.h"

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
  void Remove(const QString& name) { env_.remove(name); }
  QString UpdaterLogPath() const { return dir_.filePath(QStringLiteral("updater.log")); }
  // A folder of the run's own with mode 0700 (made on the first call).
  QString PrivateFolder(const QString& name) const {
    const QString path = dir_.filePath(name);
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), 0700);
    return path;
  }

  void Start(QProcess& process) {
    process.setProcessEnvironment(env_);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(CASTORA_FAKE_CLIENT), QStringList());
  }

  // Starts the client with a signal ignored, as nohup does (a shell's empty trap; the
  // shell becomes the client, so the process id is the client's).
  void StartIgnoring(QProcess& process, const QString& signal_name) {
    process.setProcessEnvironment(env_);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("trap '' %1; exec \"$0\"").arg(signal_name),
                   QStringLiteral(CASTORA_FAKE_CLIENT)});
  }

  // What the updater received, one value per line.
  QString UpdaterLog() const {
    QFile file(UpdaterLogPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
  }

  // The local sockets in the run's temporary folder (the single-instance server's, the
  // updater link's).
  QStringList LocalSockets() const {
    QStringList sockets;
    for (const QString& name : QDir(dir_.path()).entryList(QDir::System | QDir::Files | QDir::Hidden)) {
      struct stat st {};
      if (::stat(QFile::encodeName(dir_.filePath(name)).constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        sockets << name;
    }
    return sockets;
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

// The clients started meanwhile get the default action for the termination signals
// even where the tests run with one ignored (under nohup, or as a background job of a
// script): an ignored signal stays ignored in the client.
class DefaultTerminationSignals {
 public:
  DefaultTerminationSignals() {
    for (size_t i = 0; i < 3; ++i) ::sigaction(kSignals[i], nullptr, &saved_[i]);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
  }
  ~DefaultTerminationSignals() {
    for (size_t i = 0; i < 3; ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
  }

 private:
  static constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};
  struct sigaction saved_[3] {};
};

bool WaitForOutput(QProcess& process, const char* text, int ms = 30000) {
  return QTest::qWaitFor(
      [&] {
        process.waitForReadyRead(100);
        return process.peek(1 << 20).contains(text);
      },
      ms);
}

// True once the process catches SIGTERM (its handler is installed).
bool CatchesSigterm(qint64 pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
    return (caught >> (SIGTERM - 1)) & 1u;
  }
  return false;
}

// A SIGTERM during the start-up (here while the client waits for the updater's first
// message, which never comes) is not lost in a loop that runs before the main one: the
// client ends with 0 instead of running on.
TEST(StartUpTest, SignalDuringStartUpEndsTheClientWithZero) {
  DefaultTerminationSignals defaults;
  ClientRun run;
  QProcess client;
  run.Start(client);
  ASSERT_TRUE(client.waitForStarted(10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return CatchesSigterm(client.processId()); }, 30000));
  ::kill(static_cast<pid_t>(client.processId()), SIGTERM);
  ASSERT_TRUE(client.waitForFinished(30000)) << "the client ran on after SIGTERM";
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 0);
  EXPECT_TRUE(run.LocalSockets().isEmpty()) << run.LocalSockets().join(QLatin1Char(' ')).toStdString();
}

// Started under nohup, the client keeps running when the terminal goes (SIGHUP).
TEST(StartUpTest, AnIgnoredSignalStaysIgnored) {
  ClientRun run;
  QProcess client;
  run.StartIgnoring(client, QStringLiteral("HUP"));
  ASSERT_TRUE(WaitForOutput(client, "controller: Construct"));
  ::kill(static_cast<pid_t>(client.processId()), SIGHUP);
  EXPECT_FALSE(client.waitForFinished(1000));
  ::kill(static_cast<pid_t>(client.processId()), SIGTERM);
  ASSERT_TRUE(client.waitForFinished(30000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 0);
}

// A second start of the same user ends at once with 255; the first runs on. So it does
// when the second starts without XDG_RUNTIME_DIR (`sudo -u`, `su`, cron) while the
// first's names the run's own runtime folder: with a /run/user/<uid> both meet there,
// without one in the temporary folder, where the first listens as well.
TEST(StartUpTest, SecondStartEndsWith255) {
  struct Case {
    const char* what;
    bool first_in_own_runtime;  // else XDG_RUNTIME_DIR is the temporary folder
    bool second_without_runtime;
    bool run_user;  // a /run/user/<uid> of the user's own
  };
  const Case cases[] = {
      {"the same environment", false, false, false},
      {"the second without XDG_RUNTIME_DIR, no /run/user/<uid>", true, true, false},
      {"the second without XDG_RUNTIME_DIR, with /run/user/<uid>", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClientRun run;
    run.Set(QStringLiteral("CASTORA_FAKE_UPDATER_SEND"), QStringLiteral("0"));
    if (c.first_in_own_runtime) run.Set(QStringLiteral("XDG_RUNTIME_DIR"), run.PrivateFolder(QStringLiteral("runtime")));
    if (c.run_user) {
      run.PrivateFolder(QStringLiteral("run/user/%1").arg(::geteuid()));
      run.Set(QString::fromLatin1(utils::kRunFolderVariable), run.PrivateFolder(QStringLiteral("run")));
    }
    QProcess first;
    run.Start(first);
    // Up once the window (and so its Controller) exists.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          first.waitForReadyRead(100);
          return first.peek(1 << 16).contains("controller: Construct");
        },
        30000));
    if (c.second_without_runtime) run.Remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QProcess second;
    run.Start(second);
    if (!second.waitForFinished(30000)) second.kill();
    EXPECT_EQ(second.exitCode(), 255);
    EXPECT_FALSE(second.readAllStandardOutput().contains("controller: Construct"));
    second.waitForFinished(10000);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(10000);
  }
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

// --- Ending the client from outside while it shares the sound ---

// A private sound server for each test, with a tone playing on "castora_speaker". The
// client's share (the fake Controller's, through the real sound back-end) mutes the
// speaker by moving the tone to a stand-in sink that it makes the default. Skips where
// no private server can be started.
class StartUpSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!server_.StartPrivate(&why)) GTEST_SKIP() << why;
    player_ = std::make_unique<TonePlayer>();
    ASSERT_TRUE(player_->ok());
  }

  // Starts a client that shares the sound, and waits until the speaker is muted.
  static void StartSharing(ClientRun& run, QProcess& client) {
    // The real sound back-end (the tests run on the simulated ones otherwise).
    run.Remove(QStringLiteral("CASTORA_PLATFORM"));
    run.Set(QStringLiteral("CASTORA_FAKE_CONTROLLER_SHARE_SOUND"), QStringLiteral("1"));
    run.Start(client);
    ASSERT_TRUE(WaitForOutput(client, "controller: SharingSound")) << client.readAllStandardError().constData();
    EXPECT_EQ(QueryServer().default_sink, "castora_muted_output");
    EXPECT_EQ(RecordPeak("castora_speaker.monitor", 200), 0);
  }

  // The output is the default again, plays the tone, and no stand-in is left.
  static void ExpectSoundBack(const std::string& output = "castora_speaker") {
    const ServerState state = QueryServer();
    EXPECT_EQ(state.default_sink, output);
    EXPECT_EQ(std::count_if(state.sinks.begin(), state.sinks.end(),
                            [](const std::string& s) { return s.compare(0, 20, "castora_muted_output") == 0; }),
              0);
    EXPECT_GT(RecordPeak(output + ".monitor", 300), 9000);
  }

  DefaultTerminationSignals defaults_;
  PulseTestServer server_;
  std::unique_ptr<TonePlayer> player_;
};

// Logout, `kill` and Ctrl-C; and a second signal right behind the first (logout sends
// SIGTERM and SIGHUP together), which reaches the teardown and must not cut it short.
TEST_F(StartUpSoundTest, TerminationSignalWhileSharingGivesTheSoundBackAndEndsWithZero) {
  const std::vector<std::vector<int>> cases = {{SIGTERM}, {SIGINT}, {SIGHUP}, {SIGTERM, SIGHUP}};
  for (const std::vector<int>& sent : cases) {
    SCOPED_TRACE(::testing::PrintToString(sent));
    ClientRun run;
    QProcess client;
    StartSharing(run, client);
    if (HasFatalFailure()) return;
    for (int signal_number : sent) ::kill(static_cast<pid_t>(client.processId()), signal_number);
    ASSERT_TRUE(client.waitForFinished(30000));
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_TRUE(client.readAllStandardOutput().contains("controller: SoundStopped"));
    ExpectSoundBack();
    EXPECT_TRUE(run.LocalSockets().isEmpty()) << run.LocalSockets().join(QLatin1Char(' ')).toStdString();
  }
}

// SIGKILL cannot be caught: the stand-in stays the default and the speaker silent. The
// next start gives the sound back before anything else, to the output the user had last
// (a headset picked during the share), and takes over the local sockets the killed run
// left.
TEST_F(StartUpSoundTest, StartAfterAKilledShareGivesTheSoundBack) {
  for (const bool pick_a_headset : {false, true}) {
    SCOPED_TRACE(pick_a_headset ? "a headset picked during the share" : "the speaker all along");
    ClientRun run;
    QProcess killed;
    StartSharing(run, killed);
    if (HasFatalFailure()) return;
    std::string output = "castora_speaker";
    if (pick_a_headset) {
      output = "castora_headset";
      ASSERT_TRUE(UserPlugIn(output));
      ASSERT_TRUE(UserSetDefault(output));
      // The share follows the pick: the tone moves onto a stand-in again.
      ASSERT_TRUE(QTest::qWaitFor([] { return QueryServer().default_sink != "castora_headset"; }, 10000));
    }
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(30000));
    EXPECT_EQ(QueryServer().default_sink.compare(0, 20, "castora_muted_output"), 0);
    EXPECT_EQ(RecordPeak(output + ".monitor", 200), 0);
    EXPECT_FALSE(run.LocalSockets().isEmpty());

    run.Remove(QStringLiteral("CASTORA_FAKE_CONTROLLER_SHARE_SOUND"));
    QProcess next;
    run.Start(next);
    ASSERT_TRUE(WaitForOutput(next, "controller: Construct")) << next.readAllStandardError().constData();
    ExpectSoundBack(output);
    ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
    ASSERT_TRUE(next.waitForFinished(30000));
    EXPECT_EQ(next.exitCode(), 0);
    EXPECT_TRUE(run.LocalSockets().isEmpty()) << run.LocalSockets().join(QLatin1Char(' ')).toStdString();
    if (pick_a_headset) {
      ASSERT_TRUE(UserUnplug(output));
    }
  }
}

}  // namespace
