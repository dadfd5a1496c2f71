#pragma once

#include <QString>
#include <QStringList>

// The tool that registers and starts the updater's scheduled task. Linux has no task
// scheduler of the kind the updater expects, so the project builds its own small tool
// ("renovix-tasks", placed beside the programs) that understands the same command
// lines:
//   /create /tn <name> /xml <file> [/f]
//   /run /tn <name>
//   /query /tn <name>      prints the program the task starts
// RENOVIX_TASK_TOOL names another program in its place (tests record the calls).
namespace platform::updater {

inline constexpr char kTaskToolEnv[] = "RENOVIX_TASK_TOOL";
inline constexpr char kTaskToolName[] = "renovix-tasks";

// The program to run: $RENOVIX_TASK_TOOL when set and not empty, otherwise
// "<application dir>/renovix-tasks". Never quoted.
QString TaskToolProgram();

// Runs the tool synchronously with `arguments` and returns its exit code; -1 when it
// cannot be started, crashes, or does not end within `timeout_ms` (it is then killed
// with every process of its process group, which it leads).
// With `failure` given, a run that does not end with 0 puts there why, for a person:
// the tool's own last words, or why it could not run. With `output` given, the tool's
// standard output (its first 4 KiB) goes there instead of ours.
int RunTaskTool(const QStringList& arguments, int timeout_ms = 60000, QString* failure = nullptr,
                QString* output = nullptr);

}  // namespace platform::updater
