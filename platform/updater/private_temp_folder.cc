#include "platform/updater/private_temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QStandardPaths>

#include "utils/local_peer.h"

namespace platform::updater {

namespace {

// True when `path` is (now) a folder, not a link, owned by this user, with mode 0700.
bool MakePrivateFolder(const QString& path) {
  if (!QDir().mkpath(path)) return false;
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0) return false;
  return true;
}

}  // namespace

QString PrivateTempFolder() {
  // The sockets' rule: a runtime folder that another user could write, or that is a
  // link, would let them replace the copy between our copying and the task's start.
  const QString runtime_dir = utils::UserRuntimeFolder();
  if (!runtime_dir.isEmpty()) {
    const QString path = QDir::cleanPath(runtime_dir + QStringLiteral("/Renovix"));
    if (MakePrivateFolder(path)) return path;
  }
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) return QString();
  const QString path = QDir::cleanPath(data + QStringLiteral("/CastoraUpdate/temp"));
  return MakePrivateFolder(path) ? path : QString();
}

}  // namespace platform::updater
