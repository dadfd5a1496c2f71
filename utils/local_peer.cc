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

}  // namespace

QString PerUserName(const QString& base) {
  return QStringLiteral("%1-%2").arg(base).arg(static_cast<qulonglong>(::geteuid()));
}

QString UserRuntimeFolder() {
  const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !folder.startsWith(QLatin1Char('/'))) return QString();
  const QString cleaned = QDir::cleanPath(folder);
  struct stat st {};
  if (::lstat(QFile::encodeName(cleaned).constData(), &st) != 0) return QString();
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0777) != 0700) return QString();
  return cleaned;
}

QString PerUserAddress(const QString& base) {
  const QString name = PerUserName(base);
  const QString folder = UserRuntimeFolder();
  if (folder.isEmpty()) return name;
  const QString path = folder + QLatin1Char('/') + name;
  // Qt's socket address holds the path with its terminating zero.
  if (static_cast<size_t>(QFile::encodeName(path).size()) >= sizeof(sockaddr_un::sun_path)) return name;
  return path;
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
