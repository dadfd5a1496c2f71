#include "updater/updater_logger.h"

#include <exception>
#include <optional>

#include <fmt/format.h>
#include <spdlog/details/file_helper.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/sinks/daily_file_sink.h>

#include "utils/logger.h"

namespace {

constexpr const char* kLoggerName = "zorvax::utils::logger::msvc";

// Names each file after the moment it is opened, so that every start of the updater
// (and every midnight) begins a file of its own; two starts in the same minute share
// one and append to it.
struct MinuteFileNameCalculator {
  static spdlog::filename_t calc_filename(const spdlog::filename_t& filename,
                                          const std::tm& now_tm) {
    return UpdaterLogFileName(filename, now_tm);
  }
};
using MinuteDailySink = spdlog::sinks::daily_file_sink<std::mutex, MinuteFileNameCalculator>;

void TryRegister(const std::shared_ptr<spdlog::logger>& logger) {
  // The name may already be taken in this process (the client's logger, or an earlier
  // logger made by a test): the updater's logger then simply stays unregistered.
  try {
    spdlog::register_logger(logger);
  } catch (const std::exception&) {
  }
}

std::shared_ptr<spdlog::logger> CreateFallbackLogger() {
  auto logger = std::make_shared<spdlog::logger>(
      kLoggerName, std::make_shared<spdlog::sinks::ansicolor_stderr_sink_mt>());
  logger->error("[ZorvaxLogger] Fail to create directory");
  return logger;
}

}  // namespace

std::string UpdaterLogFileName(const std::string& base, const std::tm& now) {
  std::string stem;
  std::string ext;
  std::tie(stem, ext) = spdlog::details::file_helper::split_by_extension(base);
  return fmt::format("{}_{:04d}-{:02d}-{:02d}_{:02d}-{:02d}{}", stem, now.tm_year + 1900,
                     now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, ext);
}

std::shared_ptr<spdlog::logger> CreateUpdaterLogger(const std::string& folder) {
  const std::optional<std::string> prepared = zorvax::utils::logger::PrepareLogFolder(folder);
  if (!prepared) return CreateFallbackLogger();
  const std::string& logdir = *prepared;

  std::shared_ptr<spdlog::logger> logger;
  try {
    auto sink = std::make_shared<MinuteDailySink>(logdir + "/zorvax.log", 0, 0, false);
    logger = std::make_shared<spdlog::logger>(kLoggerName, std::move(sink));
  } catch (const std::exception&) {
    return CreateFallbackLogger();
  }
  TryRegister(logger);
  logger->flush_on(spdlog::level::warn);
  logger->set_level(zorvax::utils::logger::LevelFromEnvironment());
  logger->set_formatter(std::make_unique<spdlog::pattern_formatter>(
      "%H:%M:%S.%e [thread %t][%l] %v", spdlog::pattern_time_type::local));
  return logger;
}

std::shared_ptr<spdlog::logger>& GetLogger(const std::string& folder) {
  static std::shared_ptr<spdlog::logger> logger = CreateUpdaterLogger(folder);
  return logger;
}

std::shared_ptr<spdlog::logger>& InitLogger(const std::string& folder) {
  return GetLogger(folder);
}

void LogInfo(const std::string& tag, const std::string& message) {
  GetLogger("ZORVAX")->info("[{}]: {}", tag, message);
}
void LogWarn(const std::string& tag, const std::string& message) {
  GetLogger("ZORVAX")->warn("[{}]: {}", tag, message);
}
void LogError(const std::string& tag, const std::string& message) {
  GetLogger("ZORVAX")->error("[{}]: {}", tag, message);
}
void FlushLogger() { GetLogger("ZORVAX")->flush(); }
