#pragma once

#include <sys/types.h>

#include <optional>

#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace utils {

// Local sockets that belong to one user. Where the user has a runtime folder of their
// own (mode 0700), the names live there and no other user can create them first.
// Otherwise they live in the shared temporary folder, where anyone may take a name
// before us, so a name alone proves nothing: each end asks the kernel which user runs
// the process at the other end before it believes or obeys it.

// "<base>-<effective user id>": the name of a local server of this user's own.
QString PerUserName(const QString& base);

// The user's runtime folder, decided the same way whatever environment a program of
// the user starts from (a desktop session, `sudo -u`, `su`, cron, a scheduled task):
// the system's "/run/user/<uid>" when it is safe, else $XDG_RUNTIME_DIR (cleaned) when
// it is safe, else empty (the names then go in the temporary folder). Safe: an
// absolute path to a folder (not a link) owned by this user with mode 0700.
// "/run/user/<uid>" comes first because an environment without the variable finds it
// as well, even where the variable points elsewhere.
QString UserRuntimeFolder();

// Where a local server of this user listens, and where its peers connect:
// "<runtime folder>/<base>-<uid>", or the bare PerUserName (which Qt places in the
// temporary folder) when there is no runtime folder of ours or the path would not fit
// a socket address. Both programs of a user compute the same address from the same
// environment, and the same one from any environment where "/run/user/<uid>" serves.
QString PerUserAddress(const QString& base);

// Every address where a server of this user named `base` may listen, PerUserAddress
// first: a server started from another environment may have found another folder
// (this environment's $XDG_RUNTIME_DIR where "/run/user/<uid>" is not usable, or the
// temporary folder). Without duplicates.
QStringList PerUserAddresses(const QString& base);

// Where a server that others must find from any environment listens as well: the bare
// PerUserName (the temporary folder) when PerUserAddress is in $XDG_RUNTIME_DIR, which
// an environment without the variable cannot know; empty when PerUserAddress is
// found from everywhere ("/run/user/<uid>", or the temporary folder itself).
QString PerUserSecondAddress(const QString& base);

// For tests and the demo, which must not meet the person's own programs: the folder
// named by $CASTORA_RUN_FOLDER, when set, stands for "/run" in the rule above. Every
// check of the rule still applies to what is found there.
inline constexpr char kRunFolderVariable[] = "CASTORA_RUN_FOLDER";

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
