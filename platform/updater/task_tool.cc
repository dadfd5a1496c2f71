#include "platform/updater/task_tool.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>

namespace platform::updater {

namespace {

// The tool leads a process group of its own, so that a tool that does not end is
// ended with whatever it started (a child that hangs would otherwise outlive it).
class GroupLeaderProcess : public QProcess {
 protected:
  void setupChildProcess() override { ::setpgid(0, 0); }
};

// What a tool may say on its standard output for us to read; a task's program path.
constexpr qint64 kMaxOutputBytes = 4096;

}  // namespace

QString TaskToolProgram() {
  const QString configured = qEnvironmentVariable(kTaskToolEnv);
  if (!configured.isEmpty()) return configured;
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') +
         QLatin1String(kTaskToolName);
}

int RunTaskTool(const QStringList& arguments, int timeout_ms, QString* failure, QString* output) {
  GroupLeaderProcess process;
  // Its output still reaches ours unless we read it; with a failure asked for, its
  // error output is also kept to say why.
  if (output) {
    output->clear();
    process.setProcessChannelMode(failure ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
  } else {
    process.setProcessChannelMode(failure ? QProcess::ForwardedOutputChannel : QProcess::ForwardedChannels);
  }
  const QString program = TaskToolProgram();
  const auto fail = [&](const QString& why) {
    if (failure) *failure = why;
    return -1;
  };
  process.start(program, arguments);
  if (!process.waitForStarted(timeout_ms))
    return fail(QStringLiteral("the task tool %1 could not be started: %2").arg(program, process.errorString()));
  if (!process.waitForFinished(timeout_ms)) {
    const qint64 group = process.processId();
    if (group > 0) ::kill(static_cast<pid_t>(-group), SIGKILL);
    process.kill();
    process.waitForFinished(1000);
    return fail(QStringLiteral("the task tool %1 did not end within %2 ms").arg(program).arg(timeout_ms));
  }
  if (output) *output = QString::fromLocal8Bit(process.readAllStandardOutput().left(kMaxOutputBytes));
  const QString said = QString::fromLocal8Bit(process.readAllStandardError().right(2048)).trimmed();
  if (!said.isEmpty()) fputs(qPrintable(said + QLatin1Char('\n')), stderr);
  if (process.exitStatus() != QProcess::NormalExit)
    return fail(QStringLiteral("the task tool %1 crashed").arg(program));
  const int code = process.exitCode();
  if (code != 0 && failure) {
    *failure = QStringLiteral("the task tool %1 exited with %2").arg(program).arg(code);
    if (!said.isEmpty()) *failure += QStringLiteral(": ") + said;
  }
  return code;
}

}  // namespace platform::updater
