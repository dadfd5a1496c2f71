#include "utils/logger.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include "utils/user_paths.h"

namespace zorvax::utils::logger {

const std::unordered_map<std::string, spdlog::level::level_enum> kLogLevels = {
    {"trace", spdlog::level::trace}, {"debug", spdlog::level::debug},
    {"info", spdlog::level::info},   {"warn", spdlog::level::warn},
    {"error", spdlog::level::err},   {"critical", spdlog::level::critical},
};

namespace {

constexpr const char* kLoggerName = "zorvax::utils::logger::msvc";
constexpr int64_t kMaxLogAgeSeconds = 3 * 24 * 3600;

// Without a log folder the messages go to standard error, the stand-in for the
// debugger output. The logger is not registered, so the periodic flusher skips it.
std::shared_ptr<spdlog::logger> CreateFallbackLogger(const char* why) {
  auto logger = std::make_shared<spdlog::logger>(
      kLoggerName, std::make_shared<spdlog::sinks::stderr_sink_mt>());
  logger->error(why);
  return logger;
}

}  // namespace

spdlog::level::level_enum LevelFromEnvironment() {
  const char* value = std::getenv("LOGLEVEL");
  if (value == nullptr) return spdlog::level::info;
  auto it = kLogLevels.find(value);
  return it == kLogLevels.end() ? spdlog::level::info : it->second;
}

void RemoveOldLogs(const std::string& logdir, int64_t now_unix_seconds) {
  DIR* dir = ::opendir(logdir.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string path = logdir + "/" + entry->d_name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    // A last write in the future (clock changes, copied files) is not age.
    int64_t age = now_unix_seconds - static_cast<int64_t>(st.st_mtime);
    if (age > kMaxLogAgeSeconds) std::remove(path.c_str());
  }
  ::closedir(dir);
}

std::optional<std::string> PrepareLogFolder(const std::string& folder) {
  auto root = ::utils::GetUserDataRoot();
  if (!root) return std::nullopt;
  // A root from APPDATA is taken as it stands; the XDG root may not exist yet on a
  // fresh account, so it is created.
  if (!root->explicit_root && !::utils::MakeDirectories(root->path)) return std::nullopt;

  const std::string dir = root->path + "/" + folder;
  const std::string logdir = dir + "/log";
  struct stat st {};
  if (::access(logdir.c_str(), R_OK) == 0 && ::stat(logdir.c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode)) {
    RemoveOldLogs(logdir, std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count());
  } else {
    for (const std::string& d : {dir, logdir}) {
      if (::mkdir(d.c_str(), 0700) != 0 && errno == ENOENT) return std::nullopt;
    }
  }
  return logdir;
}

std::shared_ptr<spdlog::logger> CreateLogger(const std::string& folder) {
  const std::optional<std::string> prepared = PrepareLogFolder(folder);
  if (!prepared) return CreateFallbackLogger("[ZorvaxLogger] Fail to create directory");
  const std::string& logdir = *prepared;

  std::shared_ptr<spdlog::logger> logger;
  for (int i = 0; i < 3 && !logger; ++i) {
    std::string base = fmt::format("{}/zorvax_{}_{}.log", logdir,
                                   static_cast<unsigned>(::getpid()), i);
    try {
      logger = spdlog::daily_logger_mt(kLoggerName, base, 0, 0, false);
    } catch (const std::exception&) {
      logger.reset();
    }
  }
  if (!logger) return CreateFallbackLogger("[ZorvaxLogger] Fail to create log file");

  spdlog::flush_every(std::chrono::seconds(2));
  logger->flush_on(spdlog::level::warn);
  logger->set_level(LevelFromEnvironment());
  logger->set_formatter(std::make_unique<spdlog::pattern_formatter>(
      "%H:%M:%S.%e [thread %t][%l] %v", spdlog::pattern_time_type::local, "\r\n"));
  return logger;
}

std::shared_ptr<spdlog::logger>& GetLogger(const std::string& name) {
  static std::shared_ptr<spdlog::logger> logger = CreateLogger(name);
  return logger;
}

std::shared_ptr<spdlog::logger>& Init(const std::string& name) { return GetLogger(name); }

namespace {
void Log(spdlog::level::level_enum level, const std::string& tag, const std::string& where,
         const std::string& message) {
  GetLogger("ZORVAX")->log(level, "[{}][{}]: {}", tag, where, message);
}
}  // namespace

bool ShouldLog(spdlog::level::level_enum level) {
  return GetLogger("ZORVAX")->should_log(level);
}

void Trace(const std::string& tag, const std::string& where, const std::string& message) {
  Log(spdlog::level::trace, tag, where, message);
}
void Debug(const std::string& tag, const std::string& where, const std::string& message) {
  Log(spdlog::level::debug, tag, where, message);
}
void Info(const std::string& tag, const std::string& where, const std::string& message) {
  Log(spdlog::level::info, tag, where, message);
}
void Warn(const std::string& tag, const std::string& where, const std::string& message) {
  Log(spdlog::level::warn, tag, where, message);
}
void Error(const std::string& tag, const std::string& where, const std::string& message) {
  Log(spdlog::level::err, tag, where, message);
}
void Flush() { GetLogger("ZORVAX")->flush(); }

}  // namespace zorvax::utils::logger
