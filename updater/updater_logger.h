#pragma once

#include <ctime>
#include <memory>
#include <string>

#include <spdlog/spdlog.h>

#include "updater/log_tags.h"

// The updater's process-wide logger. Lines read
//   HH:MM:SS.mmm [thread <id>][info] [RENOVIX::main]: <message>
// in "<log root>/<folder>/log/zorvax_YYYY-MM-DD_hh-mm.log", where the log root is the
// client's (APPDATA, or the per-user data folder on Linux). A new file is begun at
// every start (named after the start minute, appended to within the same minute) and
// after midnight. Only warnings and worse, and FlushLogger, flush the file.

// Builds the process-wide logger on the first call; later names are ignored.
std::shared_ptr<spdlog::logger>& InitLogger(const std::string& folder);
std::shared_ptr<spdlog::logger>& GetLogger(const std::string& folder);

// "[{tag}]: {message}" at info, warn and error. The message is formatted by the caller.
void LogInfo(const std::string& tag, const std::string& message);
void LogWarn(const std::string& tag, const std::string& message);
void LogError(const std::string& tag, const std::string& message);
void FlushLogger();

// --- Pieces of the set-up, exposed for tests. ---

// Builds a new logger for `folder` (not the process-wide one): log folder, old-file
// removal, the daily file, level and pattern; the standard-error fallback when no file
// can be had. Registered under the shared name when that name is still free.
std::shared_ptr<spdlog::logger> CreateUpdaterLogger(const std::string& folder);

// The file name for the moment `now`: "<base without .log>_YYYY-MM-DD_hh-mm.log".
std::string UpdaterLogFileName(const std::string& base, const std::tm& now);
