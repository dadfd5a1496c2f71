#pragma once

#include <sys/types.h>

#include <optional>

#include <QString>

class QLocalSocket;

namespace utils {

// Local sockets that belong to one user. Their names live in the shared temporary
// folder, where anyone may create a name first, so a name alone proves nothing: each
// end asks the kernel which user runs the process at the other end before it believes
// or obeys it.

// "<base>-<effective user id>": a local server name of this user's own.
QString PerUserName(const QString& base);

// The effective user id of the process at the other end of a connected local socket
// (as it was when that process connected or listened); nothing when it cannot be told.
std::optional<uid_t> PeerUid(const QLocalSocket& socket);

// The other end runs as this user. False when that cannot be told.
bool PeerIsSameUser(const QLocalSocket& socket);

// "user <uid>", or "an unknown user": for log lines about a refused peer.
QString PeerText(const QLocalSocket& socket);

}  // namespace utils
