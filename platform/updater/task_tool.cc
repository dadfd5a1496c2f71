#include "platform/updater/task_tool.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>

namespace platform::updater {

QString TaskToolProgram() {
  const QString configured = qEnvironmentVariable(kTaskToolEnv);
  if (!configured.isEmpty()) return configured;
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') +
         QLatin1String(kTaskToolName);
}

int RunTaskTool(const QStringList& arguments, int timeout_ms, QString* failure) {
  QProcess process;
  // Its output still reaches ours; with a failure asked for, its error output is also
  // kept to say why.
  process.setProcessChannelMode(failure ? QProcess::ForwardedOutputChannel : QProcess::ForwardedChannels);
  const QString program = TaskToolProgram();
  const auto fail = [&](const QString& why) {
    if (failure) *failure = why;
    return -1;
  };
  process.start(program, arguments);
  if (!process.waitForStarted(timeout_ms))
    return fail(QStringLiteral("the task tool %1 could not be started: %2").arg(program, process.errorString()));
  if (!process.waitForFinished(timeout_ms)) {
    process.kill();
    process.waitForFinished(1000);
    return fail(QStringLiteral("the task tool %1 did not end within %2 ms").arg(program).arg(timeout_ms));
  }
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
