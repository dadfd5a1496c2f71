#include "utils/single_application.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include "utils/local_peer.h"

namespace {

constexpr int kBoundMs = 10000;

// Runs the event loop until `done` holds or the bound passes.
bool ProcessUntil(const std::function<bool()>& done, int bound_ms = kBoundMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > bound_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Gives the event loop a short while to act on something that should have no effect.
void ProcessForAWhile() { ProcessUntil([] { return false; }, 300); }

QString TestAppName(const char* what) {
  return QStringLiteral("CastoraTest%1-%2").arg(QString::fromLatin1(what)).arg(::getpid());
}

QString SocketPath(const QString& server_name) { return QDir(QDir::tempPath()).filePath(server_name); }

// Runs the helper to its end and returns its exit code (-1000 when it hangs).
int RunHelper(const QString& app_name, const char* mode,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
  QProcess helper;
  helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  helper.setProcessEnvironment(environment);
  helper.start(QStringLiteral(SINGLE_APPLICATION_HELPER), {app_name, QString::fromLatin1(mode)});
  if (!helper.waitForFinished(kBoundMs)) {
    helper.kill();
    helper.waitForFinished(kBoundMs);
    return -1000;
  }
  return helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1001;
}

// The first instance is this test program: one SingleApplication for all tests.
class SingleApplicationTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    QCoreApplication::setApplicationName(TestAppName("First"));
    static int argc = 1;
    static char name[] = "utils_single_application_test";
    static char* argv[] = {name, nullptr};
    app_ = new utils::SingleApplication(argc, argv, true);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->showMinimized();
    ASSERT_TRUE(ProcessUntil([this] { return window_->isMinimized(); }));
    app_->SetActivationWindow(window_.get());
  }

  void TearDown() override {
    app_->SetActivationWindow(nullptr);
    window_.reset();
  }

  // The server-side sockets of the connections the first instance holds.
  static int OpenConnections() { return app_->findChildren<QLocalSocket*>().size(); }

  // Writes a message from a connection of our own and waits until it is written.
  static std::unique_ptr<QLocalSocket> Send(const QByteArray& message) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(app_->server_name());
    EXPECT_TRUE(socket->waitForConnected(kBoundMs));
    if (!message.isEmpty()) {
      socket->write(message);
      EXPECT_TRUE(socket->waitForBytesWritten(kBoundMs));
    }
    return socket;
  }

  static utils::SingleApplication* app_;
  std::unique_ptr<QWidget> window_;
};

utils::SingleApplication* SingleApplicationTest::app_ = nullptr;

TEST_F(SingleApplicationTest, ServerIsNamedPerUserAndOpenToThisUserOnly) {
  EXPECT_FALSE(app_->IsSecondInstance());
  EXPECT_EQ(app_->server_name(), TestAppName("First") + QStringLiteral("-%1").arg(::geteuid()));
  struct stat info {};
  const QString address = app_->server_address();
  ASSERT_EQ(::stat(QFile::encodeName(address.startsWith(QLatin1Char('/')) ? address : SocketPath(address)).constData(),
                   &info),
            0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 077, 0u) << std::oct << info.st_mode;
}

TEST_F(SingleApplicationTest, SecondStartExitsWith255AndRaisesTheFirstWindow) {
  EXPECT_EQ(RunHelper(TestAppName("First"), "stay"), 255);
  ASSERT_TRUE(ProcessUntil([this] { return !window_->isMinimized(); }));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(ProcessUntil([this] { return window_->isActiveWindow(); }));
}

TEST_F(SingleApplicationTest, SecondStartWithoutTheExitFlagReturnsWithoutServer) {
  EXPECT_EQ(RunHelper(TestAppName("First"), "no-exit"), 3);
  EXPECT_TRUE(ProcessUntil([this] { return !window_->isMinimized(); }));
}

TEST_F(SingleApplicationTest, SilentConnectionIsKeptAndItsCloseOnlyDeletesIt) {
  auto watcher = Send(QByteArray());  // the updater's life-sign connection
  ASSERT_TRUE(ProcessUntil([] { return OpenConnections() == 1; }));
  ProcessForAWhile();
  EXPECT_EQ(OpenConnections(), 1);
  EXPECT_TRUE(window_->isMinimized());
  EXPECT_EQ(watcher->state(), QLocalSocket::ConnectedState);

  // A second start still works beside it.
  EXPECT_EQ(RunHelper(TestAppName("First"), "stay"), 255);
  ASSERT_TRUE(ProcessUntil([this] { return !window_->isMinimized(); }));
  EXPECT_EQ(watcher->state(), QLocalSocket::ConnectedState);

  watcher->disconnectFromServer();
  EXPECT_TRUE(ProcessUntil([] { return OpenConnections() == 0; }));
}

TEST_F(SingleApplicationTest, OtherMessagesAreIgnored) {
  const QByteArray name = app_->server_name().toLatin1();
  auto other = Send(QByteArray("Castora"));
  auto longer = Send(name + "\n");
  auto shorter = Send(name.left(name.size() - 1));
  ProcessForAWhile();
  EXPECT_TRUE(window_->isMinimized());
}

TEST_F(SingleApplicationTest, MessageBeforeTheWindowIsSetIsReadAndDropped) {
  app_->SetActivationWindow(nullptr);
  auto early = Send(app_->server_name().toLatin1());
  ProcessForAWhile();
  app_->SetActivationWindow(window_.get());
  ProcessForAWhile();
  EXPECT_TRUE(window_->isMinimized());
  auto later = Send(app_->server_name().toLatin1());
  EXPECT_TRUE(ProcessUntil([this] { return !window_->isMinimized(); }));
}

TEST_F(SingleApplicationTest, DestroyedWindowIsForgotten) {
  window_.reset();
  auto socket = Send(app_->server_name().toLatin1());
  ProcessForAWhile();  // must not touch the destroyed window
  SUCCEED();
}

// Reads the helper's output lines until `line` comes or the bound passes.
bool WaitForLine(QProcess& process, const QByteArray& line) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < kBoundMs) {
    while (process.canReadLine()) {
      if (process.readLine().trimmed() == line) return true;
    }
    process.waitForReadyRead(100);
  }
  return false;
}

sockaddr_un UnixAddress(const QByteArray& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(),
              std::min(static_cast<size_t>(path.size()), sizeof(address.sun_path) - 1));
  return address;
}

TEST(SingleApplicationStaleTest, NextStartTakesOverADeadInstancesName) {
  const QString app_name = TestAppName("Stale");
  const QByteArray path = QFile::encodeName(SocketPath(utils::SingleApplication::ServerNameFor(app_name)));
  // A socket file nobody listens on, as a crashed instance leaves it.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  const sockaddr_un address = UnixAddress(path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));

  QProcess first;
  first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  first.start(QStringLiteral(SINGLE_APPLICATION_HELPER), {app_name, QStringLiteral("stay")});
  ASSERT_TRUE(WaitForLine(first, "ready"));
  EXPECT_EQ(RunHelper(app_name, "stay"), 255);
  EXPECT_TRUE(WaitForLine(first, "raised"));

  first.closeWriteChannel();
  if (!first.waitForFinished(kBoundMs)) first.kill();
  first.waitForFinished(kBoundMs);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_FALSE(QFile::exists(QFile::decodeName(path)));  // the server removes its name
}

TEST(SingleApplicationStaleTest, AnotherUsersServerUnderOurNameIsNotBelieved) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const QString app_name = TestAppName("Squat");
  const QByteArray path = QFile::encodeName(SocketPath(utils::SingleApplication::ServerNameFor(app_name)));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t squatter = ::fork();
  ASSERT_GE(squatter, 0);
  if (squatter == 0) {
    // Another user listens, open to all, under this user's server name.
    ::close(ready[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = UnixAddress(path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(path.constData(), 0777) != 0 || ::listen(fd, 8) != 0) {
      ::_exit(2);
    }
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(3);
    // Accepts and holds connections until the parent closes its end.
    ::alarm(20);
    for (;;) {
      const int peer = ::accept(fd, nullptr, nullptr);
      if (peer < 0) ::_exit(0);
    }
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  // The start is not silenced: it finds no instance of its own user and goes on.
  EXPECT_EQ(RunHelper(app_name, "no-exit"), 0);
  ::kill(squatter, SIGTERM);
  int status = 0;
  ::waitpid(squatter, &status, 0);
  ::close(ready[0]);
  QFile::remove(QFile::decodeName(path));
}

// A second start from another environment than the first (a desktop session, `sudo -u`,
// `su`, cron: with or without XDG_RUNTIME_DIR, or with it pointing elsewhere) finds the
// first and hands over. The user's "/run/user/<uid>" is made in a private folder that
// stands for "/run" (CASTORA_RUN_FOLDER).
TEST(SingleApplicationEnvironmentTest, SecondStartFromAnotherEnvironmentHandsOverToTheFirst) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const QString run = scratch.filePath(QStringLiteral("run"));
  const QString no_run = scratch.filePath(QStringLiteral("no-run"));  // no "user/<uid>" in it
  const QString run_user = QStringLiteral("%1/user/%2").arg(run).arg(::geteuid());
  const QString elsewhere = scratch.filePath(QStringLiteral("elsewhere"));
  for (const QString& folder : {run_user, elsewhere}) {
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
  }
  ASSERT_TRUE(QDir().mkpath(no_run));
  const QString unset;  // no XDG_RUNTIME_DIR
  struct Case {
    const char* what;
    QString run_folder;
    QString first_runtime;
    QString second_runtime;
    QString first_listens_in;  // empty: the temporary folder
  };
  const Case cases[] = {
      {"session first, then without the variable", run, run_user, unset, run_user},
      {"without the variable first, then a session", run, unset, run_user, run_user},
      {"the variable points elsewhere", run, elsewhere, unset, run_user},
      {"no /run/user/<uid>: without the variable first, then with it", no_run, unset, elsewhere, QString()},
      {"no /run/user/<uid>: with the variable first, then without it", no_run, elsewhere, unset, elsewhere},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString app_name = TestAppName("Env") + QString::number(row++);
    const auto environment_of = [&c](const QString& runtime) {
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert(QString::fromLatin1(utils::kRunFolderVariable), c.run_folder);
      environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
      if (!runtime.isEmpty()) environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
      return environment;
    };
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.setProcessEnvironment(environment_of(c.first_runtime));
    first.start(QStringLiteral(SINGLE_APPLICATION_HELPER), {app_name, QStringLiteral("stay")});
    const QString name = utils::SingleApplication::ServerNameFor(app_name);
    const QString expected = c.first_listens_in.isEmpty() ? name : c.first_listens_in + QLatin1Char('/') + name;
    ASSERT_TRUE(first.waitForReadyRead(kBoundMs) && first.canReadLine());
    EXPECT_EQ(first.readLine().trimmed(), "address " + expected.toLocal8Bit());
    ASSERT_TRUE(WaitForLine(first, "ready"));

    EXPECT_EQ(RunHelper(app_name, "stay", environment_of(c.second_runtime)), 255);
    EXPECT_TRUE(WaitForLine(first, "raised"));

    first.closeWriteChannel();
    if (!first.waitForFinished(kBoundMs)) first.kill();
    first.waitForFinished(kBoundMs);
    EXPECT_EQ(first.exitCode(), 0);
  }
}

}  // namespace
