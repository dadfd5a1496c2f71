#pragma once

#include <QString>

// The updater's temporary location: the copy of the updater that installs, and the
// generated task document, live here. It must be private to the user (a shared
// folder with a guessable name would let another account plant the program that the
// task starts), so it is never a fixed name in the shared /tmp:
//   <runtime folder>/Renovix        when the user has a runtime folder of their own
//                                  (utils::UserRuntimeFolder(): the user's, mode
//                                  0700, no link, as the sockets' folder);
//   <generic data location>/CastoraUpdate/temp   otherwise.
// The folder is created with mode 0700; an existing one must be a real folder (no
// symbolic link) owned by this user and is set to 0700.
// Both the copy (at Update) and the task tool (when it starts the task) take the
// folder from here, in the same environment, so the two always agree.
namespace platform::updater {

// The folder's path without a trailing "/"; empty when it cannot be made safe.
QString PrivateTempFolder();

}  // namespace platform::updater
