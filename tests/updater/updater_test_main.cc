// One QCoreApplication for the whole test program, with data, runtime and log folders
// of its own (under the test's APPDATA), so that nothing touches the user's files.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "updater/updater_logger.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const QByteArray appdata = qgetenv("APPDATA");
  const QString root =
      QDir(appdata.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(appdata))
          .filePath(QStringLiteral("updater_core_test"));
  QDir(root).removeRecursively();
  QDir().mkpath(root + QStringLiteral("/data"));
  QDir().mkpath(root + QStringLiteral("/run"));
  QFile::setPermissions(root + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner);
  qputenv("APPDATA", root.toLocal8Bit());
  qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/run")).toLocal8Bit());
  for (const char* name : {"RENOVIX_UPDATE_SERVER", "RENOVIX_TASK_TOOL",
                           "RENOVIX_LOOPBACK_ONLY", "LOGLEVEL"})
    qunsetenv(name);
  QCoreApplication app(argc, argv);
  InitLogger("CastoraUpdate");
  return RUN_ALL_TESTS();
}
