#include "utils/logger.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
namespace logger = zorvax::utils::logger;

namespace {

const char* const kLogTag = "TEST::logger";

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1); else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_.empty()) ::unsetenv(name_); else ::setenv(name_, old_.c_str(), 1);
  }
 private:
  const char* name_;
  std::string old_;
};

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/castora-logger-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }
 private:
  std::string path_;
};

std::string Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void SetMtime(const fs::path& p, std::time_t when) {
  struct timeval tv[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimes(p.c_str(), tv), 0);
}

}  // namespace

TEST(LoggerLevel, ComesFromLoglevelExactly) {
  struct Case { const char* value; spdlog::level::level_enum want; };
  const Case cases[] = {
      {nullptr, spdlog::level::info},     {"trace", spdlog::level::trace},
      {"debug", spdlog::level::debug},    {"info", spdlog::level::info},
      {"warn", spdlog::level::warn},      {"error", spdlog::level::err},
      {"critical", spdlog::level::critical}, {"DEBUG", spdlog::level::info},
      {"off", spdlog::level::info},       {"", spdlog::level::info},
      {"warning", spdlog::level::info},
  };
  for (const Case& c : cases) {
    ScopedEnv env("LOGLEVEL", c.value);
    EXPECT_EQ(logger::LevelFromEnvironment(), c.want) << (c.value ? c.value : "(unset)");
  }
}

TEST(LoggerRemoveOldLogs, DeletesOnlyPlainFilesOlderThanThreeDays) {
  TempDir dir;
  const std::time_t now = std::time(nullptr);
  const fs::path base = dir.path();
  struct Case { const char* name; std::time_t mtime; bool kept; };
  const Case cases[] = {
      {"old.log", now - 3 * 24 * 3600 - 60, false},
      {"old.txt", now - 10 * 24 * 3600, false},        // any name, not only *.log
      {"young.log", now - 3 * 24 * 3600 + 60, true},
      {"future.log", now + 30 * 24 * 3600, true},       // clock skew is not age
  };
  for (const Case& c : cases) {
    std::ofstream(base / c.name) << "x";
    SetMtime(base / c.name, c.mtime);
  }
  fs::create_directory(base / "olddir");
  SetMtime(base / "olddir", now - 10 * 24 * 3600);

  logger::RemoveOldLogs(dir.path(), now);

  for (const Case& c : cases) EXPECT_EQ(fs::exists(base / c.name), c.kept) << c.name;
  EXPECT_TRUE(fs::exists(base / "olddir"));
}

TEST(LoggerCreate, WritesDailyFileUnderAppdataAndCleansOnNextStart) {
  TempDir dir;
  ScopedEnv appdata("APPDATA", dir.path().c_str());
  ScopedEnv level("LOGLEVEL", "debug");

  auto first = logger::CreateLogger("Castora");
  first->debug("[{}][{}]: {}", "TAG", "Func:12", "hello");
  first->flush();
  const fs::path logdir = fs::path(dir.path()) / "Castora" / "log";
  const std::string pid = std::to_string(::getpid());
  const fs::path file0 = logdir / ("zorvax_" + pid + "_0_" + Today() + ".log");
  ASSERT_TRUE(fs::exists(file0)) << file0;
  const std::string text = ReadFile(file0);
  EXPECT_NE(text.find("[debug] [TAG][Func:12]: hello\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" [thread "), std::string::npos);
  spdlog::drop_all();

  // Second start: the folder exists now, so old files are cleaned and a young one kept.
  std::ofstream(logdir / "stale.log") << "x";
  SetMtime(logdir / "stale.log", std::time(nullptr) - 5 * 24 * 3600);
  auto second = logger::CreateLogger("Castora");
  EXPECT_FALSE(fs::exists(logdir / "stale.log"));
  EXPECT_TRUE(fs::exists(file0));
  spdlog::drop_all();
}

TEST(LoggerCreate, MissingAppdataParentGivesUsableFallback) {
  TempDir dir;
  const std::string missing = dir.path() + "/does/not/exist";
  ScopedEnv appdata("APPDATA", missing.c_str());
  auto fallback = logger::CreateLogger("Castora");
  ASSERT_NE(fallback, nullptr);
  fallback->info("still usable");
  EXPECT_FALSE(fs::exists(missing));
}

TEST(LoggerCreate, XdgRootIsCreatedWhenAppdataUnset) {
  TempDir dir;
  const std::string xdg = dir.path() + "/fresh/share";
  ScopedEnv appdata("APPDATA", nullptr);
  ScopedEnv data("XDG_DATA_HOME", xdg.c_str());
  auto l = logger::CreateLogger("Castora");
  EXPECT_TRUE(fs::is_directory(xdg + "/Castora/log"));
  spdlog::drop_all();
}

TEST(LoggerProcess, LevelFunctionsUseTheLoggerOfTheFirstCall) {
  auto& a = logger::Init("Castora");
  auto& b = logger::GetLogger("SomethingElse");
  EXPECT_EQ(a.get(), b.get());
  LOG_INFO("value {}", 42);
  logger::Flush();
}
