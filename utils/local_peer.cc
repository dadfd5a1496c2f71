#include "utils/local_peer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QLocalSocket>

namespace utils {

QString PerUserName(const QString& base) {
  return QStringLiteral("%1-%2").arg(base).arg(static_cast<qulonglong>(::geteuid()));
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

}  // namespace utils
