#pragma once

#include <QString>

// The updater's temporary location: the copy of the updater that installs, and the
// generated task document, live here. It must be private to the user (a shared
// folder with a guessable name would let another account plant the program that the
// task starts), so it is never a fixed name in the shared /tmp:
//   $XDG_RUNTIME_DIR/Renovix        when XDG_RUNTIME_DIR is set and is a folder;
//   <generic data location>/CastoraUpdate/temp   otherwise.
// The folder is created with mode 0700; an existing one must be a real folder (no
// symbolic link) owned by this user and is set to 0700.
namespace platform::updater {

// The folder's path without a trailing "/"; empty when it cannot be made safe.
QString PrivateTempFolder();

}  // namespace platform::updater
