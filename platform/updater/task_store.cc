#include "platform/updater/task_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "platform/updater/private_temp_folder.h"

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

// Nobody but root and this user can change `path`: it is no link, and it and every
// folder above it belong to one of them and are not writable by group or others (a
// sticky folder such as /tmp excepted, where others cannot move our entries). A task
// that another user could change would run their program as this user.
bool OnlyRootOrUsCanChange(const QString& path, QString* why) {
  const QFileInfo info(path);
  const QString folder = info.absoluteDir().canonicalPath();
  if (folder.isEmpty()) {
    *why = QStringLiteral("\"%1\" does not exist").arg(info.absolutePath());
    return false;
  }
  const uid_t me = ::geteuid();
  const auto check = [&](const QString& p, bool is_entry) {
    struct stat st {};
    if (::lstat(QFile::encodeName(p).constData(), &st) != 0) {
      *why = QStringLiteral("\"%1\" does not exist").arg(p);
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      *why = QStringLiteral("\"%1\" is a link").arg(p);
      return false;
    }
    const bool sticky_folder = !is_entry && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
    if ((st.st_uid != 0 && st.st_uid != me) || ((st.st_mode & 022) != 0 && !sticky_folder)) {
      *why = QStringLiteral("\"%1\" can be changed by another user").arg(p);
      return false;
    }
    return true;
  };
  if (!check(folder + QLatin1Char('/') + info.fileName(), true)) return false;
  for (QString p = folder;; p = QFileInfo(p).path()) {
    if (!check(p, false)) return false;
    if (p == QLatin1String("/")) return true;
  }
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

QString ResolveTaskCommand(const QString& command) {
  if (command.contains(QLatin1Char('/'))) return command;
  const QString folder = PrivateTempFolder();
  return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + command;
}

TaskStore::TaskStore()
    : TaskStore(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/CastoraUpdate/tasks"),
                QCoreApplication::applicationDirPath() + QStringLiteral("/tasks")) {}

TaskStore::TaskStore(QString own_folder, QString machine_folder)
    : own_folder_(std::move(own_folder)), machine_folder_(std::move(machine_folder)) {}

const QString& TaskStore::write_folder() const {
  return ::geteuid() == 0 ? machine_folder_ : own_folder_;
}

QString TaskStore::PathOf(const QString& folder, const QString& name) {
  return folder + QLatin1Char('/') + name + QStringLiteral(".xml");
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
  const QString folder = write_folder();
  const QString target = PathOf(folder, name);
  if (!replace && QFileInfo::exists(target)) {
    *error = QStringLiteral("a task named \"%1\" exists already").arg(name);
    return Result::kExists;
  }
  // Readable by every user (the machine's store serves them all), changed only by its
  // owner, whatever the umask.
  const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
  if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, mode | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)) {
    *error = QStringLiteral("cannot create \"%1\"").arg(folder);
    return Result::kIoError;
  }
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(mode) || out.write(bytes) != bytes.size() ||
      !out.commit()) {
    *error = QStringLiteral("cannot write \"%1\": %2").arg(target, out.errorString());
    return Result::kIoError;
  }
  return Result::kOk;
}

TaskStore::Result TaskStore::Find(const QString& name, TaskAction* action, QString* error) {
  if (!IsValidTaskName(name)) {
    *error = QStringLiteral("invalid task name \"%1\"").arg(name);
    return Result::kInvalid;
  }
  // The installation's registration first: a user's own, perhaps left from an older
  // installation, must not hide it.
  for (const QString& folder : {machine_folder_, own_folder_}) {
    const QString path = PathOf(folder, name);
    if (!QFileInfo::exists(path)) continue;
    QString why;
    if (!OnlyRootOrUsCanChange(path, &why)) {
      *error = QStringLiteral("the task \"%1\" is not used: %2").arg(path, why);
      return Result::kUnsafe;
    }
    QFile stored(path);
    if (!stored.open(QIODevice::ReadOnly)) {
      *error = QStringLiteral("cannot read \"%1\": %2").arg(path, stored.errorString());
      return Result::kIoError;
    }
    if (!ParseTaskDocument(stored.read(kMaxDocumentBytes + 1), action, error)) return Result::kInvalid;
    const QString command = ResolveTaskCommand(action->command);
    if (command.isEmpty()) {
      *error = QStringLiteral("no private temporary folder for \"%1\"").arg(action->command);
      return Result::kStartFailed;
    }
    if (!OnlyRootOrUsCanChange(command, &why)) {
      *error = QStringLiteral("\"%1\" is not started: %2").arg(command, why);
      return Result::kUnsafe;
    }
    action->command = command;
    return Result::kOk;
  }
  *error = QStringLiteral("no task named \"%1\"").arg(name);
  return Result::kNotFound;
}

TaskStore::Result TaskStore::Run(const QString& name, QString* error) {
  TaskAction action;
  const Result found = Find(name, &action, error);
  if (found != Result::kOk) return found;
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
      "       renovix-tasks /run /tn <name>\n"
      "       renovix-tasks /query /tn <name>");
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
  if (verb == QLatin1String("/query") && !name.isEmpty() && xml.isEmpty()) {
    TaskAction action;
    if (store.Find(name, &action, &error) != TaskStore::Result::kOk) {
      *err = QStringLiteral("ERROR: %1").arg(error);
      return 1;
    }
    *out = action.command;
    return 0;
  }
  *err = usage;
  return 1;
}

}  // namespace platform::updater
