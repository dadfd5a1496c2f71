#pragma once

#include <sys/types.h>

#include <optional>

#include <QString>

class QLocalServer;
class QLocalSocket;

namespace utils {

// Local sockets that belong to one user. Where the user has a runtime folder of their
// own ($XDG_RUNTIME_DIR, mode 0700), the names live there and no other user can create
// them first. Otherwise they live in the shared temporary folder, where anyone may
// take a name before us, so a name alone proves nothing: each end asks the kernel
// which user runs the process at the other end before it believes or obeys it.

// "<base>-<effective user id>": the name of a local server of this user's own.
QString PerUserName(const QString& base);

// $XDG_RUNTIME_DIR (cleaned) when it is set, absolute, and a folder (not a link) owned
// by this user with mode 0700; empty otherwise (the names then go in the temporary
// folder).
QString UserRuntimeFolder();

// Where a local server of this user listens, and where its peers connect:
// "<runtime folder>/<base>-<uid>", or the bare PerUserName (which Qt places in the
// temporary folder) when there is no runtime folder of ours or the path would not fit
// a socket address. Both programs of a user compute the same address from the same
// environment.
QString PerUserAddress(const QString& base);

// The effective user id of the process at the other end of a connected local socket
// (as it was when that process connected or listened); nothing when it cannot be told.
std::optional<uid_t> PeerUid(const QLocalSocket& socket);

// The other end runs as this user. False when that cannot be told.
bool PeerIsSameUser(const QLocalSocket& socket);

// "user <uid>", or "an unknown user": for log lines about a refused peer.
QString PeerText(const QLocalSocket& socket);

// Why `server` could not listen on `address`, for a person to act on: Qt's text with
// the system's reason in place of its "Unknown error <errno>", followed by who holds
// the name when a file of another user, or no socket, is in its place.
QString ListenFailureText(const QLocalServer& server, const QString& address);

}  // namespace utils
