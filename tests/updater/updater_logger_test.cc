#include "updater/updater_logger.h"

#include <ctime>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::tm Moment(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return tm;
}

TEST(UpdaterLoggerTest, FileIsNamedAfterTheMinuteItIsOpened) {
  EXPECT_EQ(UpdaterLogFileName("/l/log/zorvax.log", Moment(2026, 12, 10, 9, 5)),
            "/l/log/zorvax_2026-12-10_09-05.log");
  // After a rotation at midnight.
  EXPECT_EQ(UpdaterLogFileName("/l/log/zorvax.log", Moment(2027, 1, 1, 0, 0)),
            "/l/log/zorvax_2027-01-01_00-00.log");
}

// Sets APPDATA for the life of the object.
class ScopedAppData {
 public:
  explicit ScopedAppData(const QString& path) : old_(qgetenv("APPDATA")) {
    qputenv("APPDATA", path.toLocal8Bit());
  }
  ~ScopedAppData() { qputenv("APPDATA", old_); }

 private:
  QByteArray old_;
};

TEST(UpdaterLoggerTest, WritesTaggedLinesAtInfoAndAboveIntoTheLogFolder) {
  QTemporaryDir root;
  ScopedAppData appdata(root.path());
  auto logger = CreateUpdaterLogger("CastoraUpdate");
  ASSERT_TRUE(logger);
  logger->trace("[{}]: {}", kMainLogTag, "trace line");
  logger->debug("[{}]: {}", kMainLogTag, "debug line");
  logger->info("[{}]: {}", kMainLogTag, "info line");
  logger->warn("[{}]: {}", kDownloaderLogTag, "warn line");
  logger->flush();

  const QDir logdir(root.path() + QStringLiteral("/CastoraUpdate/log"));
  const QStringList files = logdir.entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^zorvax_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d\\.log$"))
                  .match(files[0])
                  .hasMatch())
      << files[0].toStdString();
  QFile file(logdir.filePath(files[0]));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << "trace and debug are dropped without LOGLEVEL";
  EXPECT_TRUE(QRegularExpression(QStringLiteral(
                  "^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[thread \\d+\\]\\[info\\] \\[RENOVIX::main\\]: info line$"))
                  .match(lines[0])
                  .hasMatch())
      << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral("[warning] [RENOVIX:downloader]: warn line")))
      << lines[1].toStdString();
}

TEST(UpdaterLoggerTest, TwoStartsInTheSameMinuteAppendToOneFile) {
  QTemporaryDir root;
  ScopedAppData appdata(root.path());
  const auto minute = [] {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return UpdaterLogFileName("zorvax.log", tm);
  };
  const std::string before = minute();
  for (const char* text : {"first start", "second start"}) {
    auto logger = CreateUpdaterLogger("CastoraUpdate");
    logger->info("[{}]: {}", kMainLogTag, text);
    logger->flush();
  }
  if (minute() != before) GTEST_SKIP() << "the minute changed between the two starts";
  const QDir logdir(root.path() + QStringLiteral("/CastoraUpdate/log"));
  const QStringList files = logdir.entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_EQ(files[0].toStdString(), before);
  QFile file(logdir.filePath(files[0]));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("first start"));
  EXPECT_TRUE(text.contains("second start"));
}

TEST(UpdaterLoggerTest, LogLevelFromTheEnvironment) {
  QTemporaryDir root;
  ScopedAppData appdata(root.path());
  qputenv("LOGLEVEL", "debug");
  auto logger = CreateUpdaterLogger("CastoraUpdate");
  qunsetenv("LOGLEVEL");
  EXPECT_EQ(logger->level(), spdlog::level::debug);
  qputenv("LOGLEVEL", "DEBUG");  // exact names only
  EXPECT_EQ(CreateUpdaterLogger("Other")->level(), spdlog::level::info);
  qunsetenv("LOGLEVEL");
}

TEST(UpdaterLoggerTest, UnusableLogRootFallsBackToStandardErrorWithoutFiles) {
  QTemporaryDir root;
  // APPDATA names a folder that does not exist: it is never created, so the log
  // folder below it cannot be made.
  ScopedAppData appdata(root.path() + QStringLiteral("/missing"));
  auto logger = CreateUpdaterLogger("CastoraUpdate");
  ASSERT_TRUE(logger);
  logger->info("still usable");
  EXPECT_FALSE(QDir(root.path() + QStringLiteral("/missing")).exists());
}

}  // namespace
