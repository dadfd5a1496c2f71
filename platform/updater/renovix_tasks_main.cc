// The project's scheduled-task tool: registers task documents and starts them by name.
//   renovix-tasks /create /tn <name> /xml <file> [/f]
//   renovix-tasks /run /tn <name>
#include <cstdio>

#include <QCoreApplication>
#include <QStringList>

#include "platform/updater/task_store.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  platform::updater::TaskStore store;
  QString out;
  QString err;
  const int status =
      platform::updater::RunTaskToolCommand(app.arguments().mid(1), store, &out, &err);
  if (!out.isEmpty()) std::fprintf(stdout, "%s\n", out.toLocal8Bit().constData());
  if (!err.isEmpty()) std::fprintf(stderr, "%s\n", err.toLocal8Bit().constData());
  return status;
}
