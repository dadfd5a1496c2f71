#pragma once

#include <QUrl>

namespace updater_link {

// The base of the link's local socket name. The name itself carries the user, as the
// client's single-instance name does: each user on the machine has a link of their own.
inline constexpr char kNodeBaseName[] = "CastoraUpdate";

// "local:CastoraUpdate-<effective user id>": the node the client hosts and the updater
// connects to (a local socket of that name in the user's own runtime folder, else in
// the temporary folder; only this user may open it). See utils::PerUserAddress.
QUrl NodeUrl();

}  // namespace updater_link
