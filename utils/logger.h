#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

// The process-wide logger of the client. Every source file holds its own
// `kLogTag` and logs through the five level functions, passing where the call
// comes from ("Function:line") and the finished message.
namespace zorvax::utils::logger {

extern const std::unordered_map<std::string, spdlog::level::level_enum> kLogLevels;

// Builds the logger on the first call (the folder name of that call holds for the
// whole process) and returns it.
std::shared_ptr<spdlog::logger>& Init(const std::string& name);
std::shared_ptr<spdlog::logger>& GetLogger(const std::string& name);

void Trace(const std::string& tag, const std::string& where, const std::string& message);
void Debug(const std::string& tag, const std::string& where, const std::string& message);
void Info(const std::string& tag, const std::string& where, const std::string& message);
void Warn(const std::string& tag, const std::string& where, const std::string& message);
void Error(const std::string& tag, const std::string& where, const std::string& message);
void Flush();

// True when a message of this level would be written; lets callers skip formatting.
bool ShouldLog(spdlog::level::level_enum level);

// --- Pieces of the set-up, exposed for tests. ---

// Builds a new logger for `folder` (not the process-wide one): log folder under the
// user data root, old-file removal, daily file with up to three attempts, the fallback.
std::shared_ptr<spdlog::logger> CreateLogger(const std::string& folder);

// The level `LOGLEVEL` asks for: exact, case-sensitive; anything else is info.
spdlog::level::level_enum LevelFromEnvironment();

// The log folder "<user data root>/<folder>/log": made when missing; when it is there,
// its files older than three days are removed. Empty when the folder cannot be made.
std::optional<std::string> PrepareLogFolder(const std::string& folder);

// Deletes every plain file in `logdir` whose last write is more than three days before
// `now_unix_seconds`. Files dated in the future are young, not old.
void RemoveOldLogs(const std::string& logdir, int64_t now_unix_seconds);

}  // namespace zorvax::utils::logger

// The caller's position as the log functions want it: "Function:line".
#define ZORVAX_LOG_WHERE ::fmt::format("{}:{}", __func__, __LINE__)

#define ZORVAX_LOG_AT(level, fn, ...)                                                 \
  do {                                                                                \
    if (::zorvax::utils::logger::ShouldLog(level))                                    \
      ::zorvax::utils::logger::fn(kLogTag, ZORVAX_LOG_WHERE, ::fmt::format(__VA_ARGS__)); \
  } while (0)

#define LOG_TRACE(...) ZORVAX_LOG_AT(::spdlog::level::trace, Trace, __VA_ARGS__)
#define LOG_DEBUG(...) ZORVAX_LOG_AT(::spdlog::level::debug, Debug, __VA_ARGS__)
#define LOG_INFO(...) ZORVAX_LOG_AT(::spdlog::level::info, Info, __VA_ARGS__)
#define LOG_WARN(...) ZORVAX_LOG_AT(::spdlog::level::warn, Warn, __VA_ARGS__)
#define LOG_ERROR(...) ZORVAX_LOG_AT(::spdlog::level::err, Error, __VA_ARGS__)
