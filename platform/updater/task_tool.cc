#include "platform/updater/task_tool.h"

#include <QCoreApplication>
#include <QProcess>

namespace platform::updater {

QString TaskToolProgram() {
  const QString configured = qEnvironmentVariable(kTaskToolEnv);
  if (!configured.isEmpty()) return configured;
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') +
         QLatin1String(kTaskToolName);
}

int RunTaskTool(const QStringList& arguments, int timeout_ms) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(TaskToolProgram(), arguments);
  if (!process.waitForStarted(timeout_ms)) return -1;
  if (!process.waitForFinished(timeout_ms)) {
    process.kill();
    process.waitForFinished(1000);
    return -1;
  }
  if (process.exitStatus() != QProcess::NormalExit) return -1;
  return process.exitCode();
}

}  // namespace platform::updater
