#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The stores of the project's task tool: each registered task is the task document it
// was registered with, kept as "<name>.xml" in one of two folders:
//   the user's own, "<generic data location>/CastoraUpdate/tasks", where a user's
//   registration goes;
//   the machine's, "<the tool's own folder>/tasks", where root's registration goes (an
//   installer's package script): it serves every user of the installation.
// A task is looked up in the machine's store first, then in the user's own, and a
// document (or a program) that anyone but root and the user could change is refused.
// Only what starting a task needs is read from the document: the Command and the
// Arguments of its Exec action. A Command without a '/' is a program of the private
// temporary folder (PrivateTempFolder()) of the user who starts the task, found when
// it starts: so one registration serves every user and every environment.
namespace platform::updater {

struct TaskAction {
  QString command;
  QStringList arguments;
};

// Decodes a task document (UTF-16 with a byte order mark, or UTF-8) and takes its
// action. False with `error` set when the text is not a task document with a
// non-empty Command.
bool ParseTaskDocument(const QByteArray& bytes, TaskAction* action, QString* error);

// A task name is a file name of its own: letters, digits, '-', '_' and '.', not
// starting with '.', at most 64 characters.
bool IsValidTaskName(const QString& name);

// The program a task's Command names for the user and environment of this process:
// the Command itself when it holds a '/', else the program of that name in the private
// temporary folder; empty when there is no such folder.
QString ResolveTaskCommand(const QString& command);

class TaskStore {
 public:
  // The default folders, or others (tests).
  TaskStore();
  TaskStore(QString own_folder, QString machine_folder);

  // Where Create stores: the machine's folder for root, the user's own otherwise.
  const QString& write_folder() const;

  enum class Result { kOk, kInvalid, kExists, kNotFound, kIoError, kStartFailed, kUnsafe };

  // Checks the document at `xml_path` and stores it under `name` (mode 0644). An
  // existing task of that name is replaced only with `replace`.
  Result Create(const QString& name, const QString& xml_path, bool replace, QString* error);
  // The task's action with its Command resolved (ResolveTaskCommand) to a program
  // that only root or this user can change.
  Result Find(const QString& name, TaskAction* action, QString* error);
  // Starts what Find gives, detached.
  Result Run(const QString& name, QString* error);

 private:
  static QString PathOf(const QString& folder, const QString& name);
  QString own_folder_;
  QString machine_folder_;
};

// The tool's command line (without the program name); returns the exit status and
// writes its messages to `out`/`err`. "/query /tn <name>" puts the program the task
// would start (resolved) alone in `out`.
int RunTaskToolCommand(const QStringList& arguments, TaskStore& store, QString* out,
                       QString* err);

}  // namespace platform::updater
