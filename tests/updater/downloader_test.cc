#include "updater/downloader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "tests/updater/update_server.h"
#include "updater/installer_file.h"

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
  std::vector<int> Download(const QString& url) {
    QSignalSpy spy(&downloader_, &Downloader::Finished);
    downloader_.Download(QUrl(url), save_path_);
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
