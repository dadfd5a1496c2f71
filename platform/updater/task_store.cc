#include "platform/updater/task_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>

namespace platform::updater {

namespace {

// A task document is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxDocumentBytes = 1 << 20;

QString DecodeDocument(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xFE")) {
    const QByteArray body = bytes.mid(2);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(body.constData()),
                              body.size() / 2);
  }
  if (bytes.startsWith("\xFE\xFF")) {
    QString text;
    for (int i = 2; i + 1 < bytes.size(); i += 2) {
      text.append(QChar(static_cast<char16_t>((static_cast<uint8_t>(bytes[i]) << 8) |
                                              static_cast<uint8_t>(bytes[i + 1]))));
    }
    return text;
  }
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  return QString::fromUtf8(bytes);
}

}  // namespace

bool ParseTaskDocument(const QByteArray& bytes, TaskAction* action, QString* error) {
  if (bytes.size() > kMaxDocumentBytes) {
    *error = QStringLiteral("the task document is too large");
    return false;
  }
  QXmlStreamReader reader(DecodeDocument(bytes));
  QStringList path;
  bool have_command = false;
  TaskAction found;
  QString arguments;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement()) {
      if (path.isEmpty() && reader.name() != QLatin1String("Task")) {
        *error = QStringLiteral("the root element is not Task");
        return false;
      }
      path.push_back(reader.name().toString());
      const QString where = path.join(QLatin1Char('/'));
      if (where == QLatin1String("Task/Actions/Exec/Command") && !have_command) {
        found.command = reader.readElementText().trimmed();
        have_command = true;
        path.pop_back();
      } else if (where == QLatin1String("Task/Actions/Exec/Arguments")) {
        arguments = reader.readElementText();
        path.pop_back();
      }
    } else if (reader.isEndElement()) {
      path.pop_back();
    }
  }
  if (reader.hasError()) {
    *error = QStringLiteral("not a well-formed document: %1").arg(reader.errorString());
    return false;
  }
  if (!have_command || found.command.isEmpty()) {
    *error = QStringLiteral("the task has no Exec action with a Command");
    return false;
  }
  found.arguments = QProcess::splitCommand(arguments);
  *action = found;
  return true;
}

bool IsValidTaskName(const QString& name) {
  static const QRegularExpression kName(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]{0,63}$"));
  return kName.match(name).hasMatch();
}

TaskStore::TaskStore()
    : TaskStore(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/CastoraUpdate/tasks")) {}

TaskStore::TaskStore(QString folder) : folder_(std::move(folder)) {}

QString TaskStore::PathOf(const QString& name) const {
  return folder_ + QLatin1Char('/') + name + QStringLiteral(".xml");
}

TaskStore::Result TaskStore::Create(const QString& name, const QString& xml_path, bool replace,
                                    QString* error) {
  if (!IsValidTaskName(name)) {
    *error = QStringLiteral("invalid task name \"%1\"").arg(name);
    return Result::kInvalid;
  }
  QFile source(xml_path);
  if (!source.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot read \"%1\": %2").arg(xml_path, source.errorString());
    return Result::kIoError;
  }
  const QByteArray bytes = source.read(kMaxDocumentBytes + 1);
  TaskAction action;
  if (!ParseTaskDocument(bytes, &action, error)) return Result::kInvalid;
  const QString target = PathOf(name);
  if (!replace && QFileInfo::exists(target)) {
    *error = QStringLiteral("a task named \"%1\" exists already").arg(name);
    return Result::kExists;
  }
  if (!QDir().mkpath(folder_)) {
    *error = QStringLiteral("cannot create \"%1\"").arg(folder_);
    return Result::kIoError;
  }
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
    *error = QStringLiteral("cannot write \"%1\": %2").arg(target, out.errorString());
    return Result::kIoError;
  }
  return Result::kOk;
}

TaskStore::Result TaskStore::Run(const QString& name, QString* error) {
  if (!IsValidTaskName(name)) {
    *error = QStringLiteral("invalid task name \"%1\"").arg(name);
    return Result::kInvalid;
  }
  QFile stored(PathOf(name));
  if (!stored.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("no task named \"%1\"").arg(name);
    return Result::kNotFound;
  }
  TaskAction action;
  if (!ParseTaskDocument(stored.read(kMaxDocumentBytes + 1), &action, error))
    return Result::kInvalid;
  if (!QProcess::startDetached(action.command, action.arguments)) {
    *error = QStringLiteral("cannot start \"%1\"").arg(action.command);
    return Result::kStartFailed;
  }
  return Result::kOk;
}

int RunTaskToolCommand(const QStringList& arguments, TaskStore& store, QString* out,
                       QString* err) {
  const QString usage = QStringLiteral(
      "usage: renovix-tasks /create /tn <name> /xml <file> [/f]\n"
      "       renovix-tasks /run /tn <name>");
  if (arguments.isEmpty()) {
    *err = usage;
    return 1;
  }
  const QString verb = arguments.front().toLower();
  QString name;
  QString xml;
  bool force = false;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString option = arguments[i].toLower();
    if ((option == QLatin1String("/tn") || option == QLatin1String("/xml")) &&
        i + 1 < arguments.size()) {
      (option == QLatin1String("/tn") ? name : xml) = arguments[++i];
    } else if (option == QLatin1String("/f") && verb == QLatin1String("/create")) {
      force = true;
    } else {
      *err = QStringLiteral("ERROR: unexpected argument \"%1\"\n%2").arg(arguments[i], usage);
      return 1;
    }
  }
  QString error;
  if (verb == QLatin1String("/create") && !name.isEmpty() && !xml.isEmpty()) {
    if (store.Create(name, xml, force, &error) != TaskStore::Result::kOk) {
      *err = QStringLiteral("ERROR: %1").arg(error);
      return 1;
    }
    *out = QStringLiteral("SUCCESS: the task \"%1\" has been created.").arg(name);
    return 0;
  }
  if (verb == QLatin1String("/run") && !name.isEmpty() && xml.isEmpty()) {
    if (store.Run(name, &error) != TaskStore::Result::kOk) {
      *err = QStringLiteral("ERROR: %1").arg(error);
      return 1;
    }
    *out = QStringLiteral("SUCCESS: the task \"%1\" has been started.").arg(name);
    return 0;
  }
  *err = usage;
  return 1;
}

}  // namespace platform::updater
