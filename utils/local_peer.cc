#include "utils/local_peer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <system_error>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

namespace utils {

namespace {

// The absolute path of a local server address, as Qt resolves it.
QString SocketPath(const QString& address) {
  if (address.startsWith(QLatin1Char('/'))) return address;
  return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + address;
}

// `folder` cleaned when it is an absolute path to a folder (not a link) of this user's
// own with mode 0700; empty otherwise.
QString SafeFolder(const QString& folder) {
  if (folder.isEmpty() || !folder.startsWith(QLatin1Char('/'))) return QString();
  const QString cleaned = QDir::cleanPath(folder);
  struct stat st {};
  if (::lstat(QFile::encodeName(cleaned).constData(), &st) != 0) return QString();
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0777) != 0700) return QString();
  return cleaned;
}

// The folder the system makes for the user at login, when it is safe.
QString SystemRuntimeFolder() {
  QString run = qEnvironmentVariable(kRunFolderVariable);
  if (run.isEmpty()) run = QStringLiteral("/run");
  return SafeFolder(QStringLiteral("%1/user/%2").arg(run).arg(static_cast<qulonglong>(::geteuid())));
}

// $XDG_RUNTIME_DIR, when it is safe.
QString EnvironmentRuntimeFolder() { return SafeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR")); }

// "<folder>/<base>-<uid>", or the bare name (the temporary folder) without a folder or
// when the path would not fit a socket address.
QString AddressIn(const QString& folder, const QString& base) {
  const QString name = PerUserName(base);
  if (folder.isEmpty()) return name;
  const QString path = folder + QLatin1Char('/') + name;
  // Qt's socket address holds the path with its terminating zero.
  if (static_cast<size_t>(QFile::encodeName(path).size()) >= sizeof(sockaddr_un::sun_path)) return name;
  return path;
}

}  // namespace

QString PerUserName(const QString& base) {
  return QStringLiteral("%1-%2").arg(base).arg(static_cast<qulonglong>(::geteuid()));
}

QString UserRuntimeFolder() {
  for (const QString& folder : {SystemRuntimeFolder(), EnvironmentRuntimeFolder()}) {
    if (!folder.isEmpty()) return folder;
  }
  return QString();
}

QString PerUserAddress(const QString& base) { return AddressIn(UserRuntimeFolder(), base); }

QStringList PerUserAddresses(const QString& base) {
  const QString name = PerUserName(base);
  QStringList addresses;
  QStringList paths;  // the bare name and its path in the temporary folder are one place
  for (const QString& address : {PerUserAddress(base), AddressIn(EnvironmentRuntimeFolder(), base), name}) {
    const QString path = SocketPath(address);
    if (paths.contains(path)) continue;
    paths << path;
    addresses << address;
  }
  return addresses;
}

QString PerUserSecondAddress(const QString& base) {
  if (!SystemRuntimeFolder().isEmpty()) return QString();
  const QString name = PerUserName(base);
  // The variable may name the temporary folder itself.
  return SocketPath(PerUserAddress(base)) == SocketPath(name) ? QString() : name;
}

std::optional<uid_t> PeerUid(const QLocalSocket& socket) {
  const auto fd = static_cast<int>(socket.socketDescriptor());
  if (fd < 0) return std::nullopt;
  struct ucred credentials {};
  socklen_t length = sizeof(credentials);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return credentials.uid;
}

bool PeerIsSameUser(const QLocalSocket& socket) {
  const std::optional<uid_t> uid = PeerUid(socket);
  return uid && *uid == ::geteuid();
}

QString PeerText(const QLocalSocket& socket) {
  const std::optional<uid_t> uid = PeerUid(socket);
  return uid ? QStringLiteral("user %1").arg(static_cast<qulonglong>(*uid)) : QStringLiteral("an unknown user");
}

QString ListenFailureText(const QLocalServer& server, const QString& address) {
  QString text = server.errorString();
  // Qt names only a few errors and gives the others by their number, which it took
  // from errno when the call failed.
  static const QRegularExpression kUnknown(QStringLiteral("Unknown error (\\d+)$"));
  const QRegularExpressionMatch match = kUnknown.match(text);
  if (match.hasMatch()) {
    const int number = match.captured(1).toInt();
    text.replace(match.capturedStart(), match.capturedLength(),
                 QString::fromStdString(std::system_category().message(number)));
  }
  const QString path = SocketPath(address);
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) == 0) {
    if (st.st_uid != ::geteuid()) {
      text += QStringLiteral(" (%1 belongs to user %2)").arg(path).arg(static_cast<qulonglong>(st.st_uid));
    } else if (!S_ISSOCK(st.st_mode)) {
      text += QStringLiteral(" (%1 is not a socket)").arg(path);
    }
  }
  return text;
}

}  // namespace utils
