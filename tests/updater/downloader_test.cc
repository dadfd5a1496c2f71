#include "updater/downloader.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <limits>
#include <memory>
#include <thread>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/log_lines.h"
#include "tests/updater/update_server.h"
#include "updater/installer_file.h"
#include "updater/updater_logger.h"

namespace {

using updater_test::Response;
using updater_test::UpdateServer;

QByteArray Package(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return bytes;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The updater's log lines ("<level> [tag]: message") while it lives.
class UpdaterLogCapture {
 public:
  UpdaterLogCapture()
      : lines_(std::make_shared<testing_support::LogLines>()),
        sink_(std::make_shared<testing_support::LinesSink>(lines_, /*with_level=*/true)) {
    GetLogger("CastoraUpdate")->sinks().push_back(sink_);
  }
  ~UpdaterLogCapture() {
    auto& sinks = GetLogger("CastoraUpdate")->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  std::string Text() const {
    std::lock_guard<std::mutex> lock(lines_->mutex);
    std::string text;
    for (const std::string& line : lines_->lines) text += line + '\n';
    return text;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->lines.clear();
  }

 private:
  std::shared_ptr<testing_support::LogLines> lines_;
  std::shared_ptr<spdlog::sinks::sink> sink_;
};

class DownloaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    downloader_.SetTimeout(400);
    save_path_ = dir_.path() + QStringLiteral("/CastoraUpdate/CastoraSetup.exe");
  }

  QString Url(const char* path) const { return server_.BaseUrl() + QLatin1String(path); }
  QString TempPath() const { return save_path_ + QStringLiteral(".download"); }

  // Runs one download to its end, then waits a little longer so that any late signal
  // of the abandoned reply would show up; returns every Finished state seen.
  std::vector<int> Download(const QString& url) { return Download(downloader_, url); }
  std::vector<int> Download(Downloader& downloader, const QString& url) {
    QSignalSpy spy(&downloader, &Downloader::Finished);
    downloader.Download(QUrl(url), save_path_);
    if (spy.isEmpty()) spy.wait(10000);
    QTest::qWait(600);
    std::vector<int> states;
    for (const QList<QVariant>& args : spy) states.push_back(args[0].value<Downloader::DownloadState>());
    return states;
  }

  UpdateServer server_;
  QTemporaryDir dir_;
  QString save_path_;
  Downloader downloader_;
};

TEST_F(DownloaderTest, CompleteDownloadIsRenamedToTheSavePath) {
  const QByteArray package = Package(300 * 1024);
  server_.SetResponse(QStringLiteral("/CastoraSetup.exe"), Response::File(package));
  EXPECT_EQ(Download(Url("/CastoraSetup.exe")), std::vector<int>{Downloader::kDone});
  EXPECT_EQ(ReadFile(save_path_), package);
  EXPECT_FALSE(QFile::exists(TempPath()));
  EXPECT_TRUE(server_.requests()[0].header("range").isEmpty());
}

TEST_F(DownloaderTest, ErrorsAndRedirectionsLeaveNoFile) {
  server_.SetResponse(QStringLiteral("/mirror"), Response::File(Package(1000)));
  const struct {
    const char* what;
    Response response;
  } cases[] = {
      {"302 to a mirror", Response::Redirect(302, Url("/mirror"))},
      {"301", Response::Redirect(301, Url("/mirror"))},
      {"307", Response::Redirect(307, Url("/mirror"))},
      {"404", Response::Status(404)},
      {"500", Response::Status(500)},
  };
  for (const auto& c : cases) {
    server_.SetResponse(QStringLiteral("/p"), c.response);
    // A partial file from before is removed too.
    QFile partial(TempPath());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(TempPath()).path()));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("old part");
    partial.close();
    downloader_.SetResumable(true);
    EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kFailed}) << c.what;
    EXPECT_FALSE(QFile::exists(save_path_)) << c.what;
    EXPECT_FALSE(QFile::exists(TempPath())) << c.what;
  }
  EXPECT_TRUE(server_.RequestsFor(QStringLiteral("/mirror")).empty());
}

TEST_F(DownloaderTest, TimeoutKeepsThePartAndTheSamePackageResumesFromIt) {
  const QByteArray package = Package(200 * 1024);
  Response stalled = Response::File(package);
  stalled.stall_after = 50000;
  // The rest comes after the downloader gave up: it must not reach the closed file,
  // end the download a second time or remove the part that is kept.
  stalled.resume_after_ms = 550;
  server_.SetResponse(QStringLiteral("/p"), stalled);
  downloader_.SetResumable(false);
  EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kFailed});
  EXPECT_FALSE(QFile::exists(save_path_));
  EXPECT_EQ(QFileInfo(TempPath()).size(), 50000);

  server_.SetResponse(QStringLiteral("/p"), Response::File(package));
  downloader_.SetResumable(true);
  EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kDone});
  const auto requests = server_.RequestsFor(QStringLiteral("/p"));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].header("range"), QByteArray("bytes=50000-"));
  EXPECT_EQ(FileMd5Hex(save_path_),
            QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex()));
}

TEST_F(DownloaderTest, ServerIgnoringTheRangeRestartsTheFile) {
  const QByteArray package = Package(100 * 1024);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(TempPath()).path()));
  QFile partial(TempPath());
  ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
  partial.write(QByteArray(4096, 'x'));
  partial.close();

  Response whole = Response::File(package);
  whole.honour_range = false;
  server_.SetResponse(QStringLiteral("/p"), whole);
  downloader_.SetResumable(true);
  EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kDone});
  EXPECT_EQ(server_.requests()[0].header("range"), QByteArray("bytes=4096-"));
  EXPECT_EQ(ReadFile(save_path_), package);
}

TEST_F(DownloaderTest, DifferentPackageStartsFromZeroWithoutRange) {
  const QByteArray package = Package(64 * 1024);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(TempPath()).path()));
  QFile partial(TempPath());
  ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
  partial.write(QByteArray(4096, 'x'));
  partial.close();

  server_.SetResponse(QStringLiteral("/new"), Response::File(package));
  downloader_.SetResumable(false);
  EXPECT_EQ(Download(Url("/new")), std::vector<int>{Downloader::kDone});
  EXPECT_TRUE(server_.requests()[0].header("range").isEmpty());
  EXPECT_EQ(ReadFile(save_path_), package);
}

TEST_F(DownloaderTest, SlowButSteadyTransferOutlastsTheTimeout) {
  const QByteArray package = Package(12000);
  Response slow = Response::File(package);
  slow.chunk_size = 1000;
  slow.chunk_interval_ms = 100;  // 1.2 s in all, never 400 ms without data
  server_.SetResponse(QStringLiteral("/p"), slow);
  EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kDone});
  EXPECT_EQ(ReadFile(save_path_), package);
}

TEST_F(DownloaderTest, UnwritableSaveFolderEndsTheDownloadAtOnce) {
  // The save folder's place is taken by a plain file: the partial file cannot exist.
  QFile blocker(dir_.filePath(QStringLiteral("CastoraUpdate")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  server_.SetResponse(QStringLiteral("/p"), Response::File(Package(1000)));
  EXPECT_EQ(Download(Url("/p")), std::vector<int>{Downloader::kFailed});
  EXPECT_TRUE(server_.requests().empty());
  // The downloader asked the application to quit. With no main loop running, Qt keeps
  // that request and ends every later event loop at once; one run of the main loop
  // takes it back, so that the following tests wait as they should.
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
}

// A server that misbehaves, or a path it should not take: each download ends as the
// row says, with its line in the log, and leaves on disk no more than the row allows.
TEST_F(DownloaderTest, HostileAnswersEndBoundedWithTheirOutcomeLogged) {
  const QByteArray package = Package(64 * 1024);
  const QByteArray prefix = package.left(16 * 1024);
  enum class Before { kNothing, kPrefix, kWhole, kFullDevice };
  constexpr qint64 kNone = -1;  // no partial file left
  constexpr qint64 kSome = -2;  // a partial file of any size left
  const auto scripted = [&](void (*script)(Response&)) {
    Response r = Response::File(package);
    script(r);
    return r;
  };
  Response no_room = Response::File(package);
  no_room.announced_size = QStorageInfo(dir_.path()).bytesAvailable() + (qint64(1) << 30);
  // Announced as 256 MiB (the body is the small package): it fits in the free space, but
  // only under the floor of the row (free space - 128 MiB).
  Response under_the_floor = Response::File(package);
  under_the_floor.announced_size = qint64(256) << 20;
  const QString local_file = dir_.filePath(QStringLiteral("local"));
  ASSERT_TRUE(WriteFile(local_file, package));

  struct Case {
    const char* what;
    Response response;
    Before before;
    QString url;  // empty: the server's "/p"
    qint64 max_size;  // 0: the compiled maximum
    int progress_window_ms;  // 0: the default (with its minimum)
    int deadline_ms;  // 0: the default
    Downloader::DownloadState state;
    std::string logged;
    qint64 left;  // the partial file's size afterwards
    // >0: the free-space floor is this many bytes under the space free now, so that a
    // package meets it without filling the disk.
    qint64 floor_below_free = 0;
  };
  const Case cases[] = {
      {"announced size above the maximum", Response::File(package), Before::kNothing, {}, 32 * 1024, 0, 0,
       Downloader::kFailed, "error [RENOVIX:downloader]: Download failed, the package of 65536 bytes is larger "
       "than the limit of 32768 bytes", kNone},
      {"endless body", scripted([](Response& r) { r.endless = true; }), Before::kNothing, {}, 256 * 1024, 0, 0,
       Downloader::kFailed, "error [RENOVIX:downloader]: Download failed, the package is larger than the limit "
       "of 262144 bytes", kNone},
      {"less free space than announced", no_room, Before::kNothing, {}, std::numeric_limits<qint64>::max(), 0, 0,
       Downloader::kFailed, "more bytes are needed but only", kNone},
      {"announced size that fits only under the free-space floor", under_the_floor, Before::kNothing, {},
       std::numeric_limits<qint64>::max(), 0, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download failed, not enough space: the 268435456 more bytes of the package "
       "would leave under ", kNone, 128 << 20},
      {"a write fails", Response::File(package), Before::kFullDevice, {}, 0, 0, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download failed, writing", kNone},
      {"a write fails: the system's reason", Response::File(package), Before::kFullDevice, {}, 0, 0, 0,
       Downloader::kFailed, "failed: No space left on device", kNone},
      {"endless body of unknown length, the disk nearly full",
       scripted([](Response& r) {
         r.endless = true;
         r.chunked = true;
       }),
       // (the limit keeps the disk safe should the floor not hold)
       Before::kNothing, {}, 64 << 20, 0, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download failed, not enough space: ", kNone, 2 << 20},
      // The part already holds the whole package: the range starts at its end.
      {"416 for a part that is the whole package", Response::File(package), Before::kWhole, {}, 0, 0, 0,
       Downloader::kDone, "info [RENOVIX:downloader]: The kept 65536 bytes are the whole package", kNone},
      {"206 from 0 on a partial", scripted([](Response& r) { r.bad_range = Response::BadRange::kWholeFromZero; }),
       Before::kPrefix, {}, 0, 0, 0, Downloader::kDone,
       "warning [RENOVIX:downloader]: Content-Range \"bytes 0-65535/65536\" does not continue the file at "
       "16384 bytes, downloading the whole file again", kNone},
      {"206 whose total is not the body's", scripted([](Response& r) { r.bad_range = Response::BadRange::kWrongTotal; }),
       Before::kPrefix, {}, 0, 0, 0, Downloader::kDone,
       "Content-Range \"bytes 16384-65535/65537\" does not continue the file", kNone},
      {"206 body shorter than its range", scripted([](Response& r) {
         r.announced_size = r.body.size() + 1000;
         r.chunked = true;
       }),
       Before::kPrefix, {}, 0, 0, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download failed, 65536 of the announced 66536 bytes arrived", 65536},
      {"206 body longer than its range", scripted([](Response& r) {
         r.announced_size = r.body.size() - 1000;
         r.chunked = true;
       }),
       Before::kPrefix, {}, 0, 0, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download failed, more than the announced 64536 bytes arrived", kNone},
      // Kept for a resume, as after a time-out.
      {"connection dropped", scripted([](Response& r) { r.close_after = 20000; }), Before::kNothing, {}, 0, 0, 0,
       Downloader::kFailed, "error [RENOVIX:downloader]: Download failed", 20000},
      {"trickle below the minimum progress", scripted([](Response& r) {
         r.chunk_size = 64;
         r.chunk_interval_ms = 20;
       }),
       Before::kNothing, {}, 0, 200, 0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download timeout, ", kSome},
      {"past the deadline", scripted([](Response& r) {
         r.chunk_size = 1024;
         r.chunk_interval_ms = 20;
       }),
       Before::kNothing, {}, 0, 0, 300, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download timeout, not complete after 300 ms", kSome},
      {"file: address", Response::File(package), Before::kNothing, QUrl::fromLocalFile(local_file).toString(), 0, 0,
       0, Downloader::kFailed,
       "error [RENOVIX:downloader]: Download refused, the package address is not http or https: \"file://", kNone},
  };
  UpdaterLogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(save_path_);
    QFile::remove(TempPath());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(TempPath()).path()));
    if (c.before == Before::kPrefix) {
      ASSERT_TRUE(WriteFile(TempPath(), prefix));
    } else if (c.before == Before::kWhole) {
      ASSERT_TRUE(WriteFile(TempPath(), package));
    } else if (c.before == Before::kFullDevice) {
      // Every write there fails as on a full disk.
      ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(TempPath()).constData()), 0);
    }
    server_.SetResponse(QStringLiteral("/p"), c.response);
    server_.ClearRequests();
    log.Clear();

    Downloader downloader;
    downloader.SetTimeout(10000);  // the bounds below end these, not a silence
    if (c.max_size > 0) downloader.SetMaxPackageSize(c.max_size);
    if (c.progress_window_ms > 0) downloader.SetMinimumProgress(c.progress_window_ms, 4096);
    if (c.deadline_ms > 0) downloader.SetDeadline(c.deadline_ms);
    if (c.floor_below_free > 0)
      downloader.SetMinimumFreeSpace(QStorageInfo(dir_.path()).bytesAvailable() - c.floor_below_free);
    downloader.SetResumable(true);
    EXPECT_EQ(Download(downloader, c.url.isEmpty() ? Url("/p") : c.url), std::vector<int>{c.state});

    const std::string text = log.Text();
    EXPECT_NE(text.find(c.logged), std::string::npos) << text;
    EXPECT_EQ(text.find("Download and Rename successfully") != std::string::npos, c.state == Downloader::kDone) << text;
    if (c.state == Downloader::kDone) {
      EXPECT_EQ(ReadFile(save_path_), package);
    } else {
      EXPECT_FALSE(QFile::exists(save_path_));
    }
    const QFileInfo partial(TempPath());
    if (c.left == kNone) {
      EXPECT_FALSE(partial.exists() || partial.isSymLink());
    } else if (c.left == kSome) {
      EXPECT_TRUE(partial.exists());
    } else {
      EXPECT_EQ(partial.size(), c.left);
    }
    if (!c.url.isEmpty()) {
      EXPECT_TRUE(server_.requests().empty());
    }
  }
}

// Each dropped connection keeps what came, so a link that drops every 20000 bytes still
// completes the package, one resumed part after the other.
TEST_F(DownloaderTest, DroppedConnectionsResumeUntilTheFileIsComplete) {
  const QByteArray package = Package(60000);
  Response dropping = Response::File(package);
  dropping.close_after = 20000;
  server_.SetResponse(QStringLiteral("/p"), dropping);
  downloader_.SetResumable(true);
  std::vector<int> outcomes;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::vector<int> states = Download(Url("/p"));
    ASSERT_EQ(states.size(), 1u);
    outcomes.push_back(states[0]);
  }
  EXPECT_EQ(outcomes, (std::vector<int>{Downloader::kFailed, Downloader::kFailed, Downloader::kDone}));
  EXPECT_EQ(ReadFile(save_path_), package);
  QSet<QByteArray> ranges;
  for (const auto& request : server_.requests()) ranges.insert(request.header("range"));
  EXPECT_EQ(ranges, (QSet<QByteArray>{QByteArray(), "bytes=20000-", "bytes=40000-"}));
}

// An update server on a thread of its own, which keeps sending while the test's
// thread is held up; started and joined by this object.
class ServerThread {
 public:
  explicit ServerThread(const Response& response) : thread_([this, response] { Run(response); }) {
    url_ = ready_.get_future().get();
  }
  ~ServerThread() {
    stop_ = true;
    thread_.join();
  }
  // Empty when the server could not listen.
  const QString& url() const { return url_; }

 private:
  void Run(const Response& response) {
    QEventLoop loop;
    UpdateServer server;
    server.SetResponse(QStringLiteral("/p"), response);
    ready_.set_value(server.Start() ? server.BaseUrl() + QStringLiteral("/p") : QString());
    QTimer stop_check;
    QObject::connect(&stop_check, &QTimer::timeout, [&] {
      if (stop_) loop.quit();
    });
    stop_check.start(10);
    loop.exec();
  }

  std::atomic<bool> stop_{false};
  std::promise<QString> ready_;
  QString url_;
  std::thread thread_;
};

// A package that comes faster than it is written stays in the network, not in memory:
// the downloader's reply never holds more than its read buffer, even while the GUI
// thread is held up again and again.
TEST_F(DownloaderTest, AnEndlessBodyNeverFillsTheMemory) {
  Response endless = Response::File(QByteArray(64 * 1024, 'e'));
  endless.endless = true;
  ServerThread server(endless);
  ASSERT_FALSE(server.url().isEmpty());

  QTimer hold_up;
  QObject::connect(&hold_up, &QTimer::timeout, [] { QThread::msleep(20); });
  hold_up.start(5);
  Downloader downloader;
  downloader.SetMaxPackageSize(32 << 20);
  UpdaterLogCapture log;
  EXPECT_EQ(Download(downloader, server.url()), std::vector<int>{Downloader::kFailed});
  hold_up.stop();

  EXPECT_NE(log.Text().find("larger than the limit of 33554432 bytes"), std::string::npos) << log.Text();
  EXPECT_GT(downloader.PeakBytesHeld(), 0);
  EXPECT_LE(downloader.PeakBytesHeld(), Downloader::kReadBufferSize);
  EXPECT_FALSE(QFile::exists(TempPath()));
}

TEST(InstallerFileTest, OnlyAnExactLowerCaseMd5MakesTheInstallerExecutable) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("CastoraSetup.exe"));
  const QByteArray bytes("#!/bin/sh\nexit 0\n");
  const QString md5 =
      QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
  const struct {
    QString expected;
    bool ok;
  } cases[] = {
      {md5.toUpper(), false},
      {QStringLiteral("0123456789abcdef0123456789abcdef"), false},
      {QString(), false},
      {md5, true},
  };
  for (const auto& c : cases) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(VerifyInstallerAndMakeExecutable(path, c.expected), c.ok) << c.expected.toStdString();
    EXPECT_EQ(QFileInfo(path).isExecutable(), c.ok) << c.expected.toStdString();
  }
  EXPECT_FALSE(VerifyInstallerAndMakeExecutable(dir.filePath(QStringLiteral("none")), md5));
}

}  // namespace
