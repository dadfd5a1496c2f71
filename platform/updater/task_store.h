#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The store of the project's task tool: each registered task is the task document it
// was registered with, kept as "<name>.xml" in "<generic data location>/CastoraUpdate/
// tasks". Only what starting a task needs is read from the document: the Command and
// the Arguments of its Exec action.
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

class TaskStore {
 public:
  // The default folder, or another one (tests).
  TaskStore();
  explicit TaskStore(QString folder);

  const QString& folder() const { return folder_; }

  enum class Result { kOk, kInvalid, kExists, kNotFound, kIoError, kStartFailed };

  // Checks the document at `xml_path` and stores it under `name`. An existing task of
  // that name is replaced only with `replace`.
  Result Create(const QString& name, const QString& xml_path, bool replace, QString* error);
  // Starts the task's command with its arguments, detached.
  Result Run(const QString& name, QString* error);

 private:
  QString PathOf(const QString& name) const;
  QString folder_;
};

// The tool's command line (without the program name); returns the exit status and
// writes its messages to `out`/`err`.
int RunTaskToolCommand(const QStringList& arguments, TaskStore& store, QString* out,
                       QString* err);

}  // namespace platform::updater
