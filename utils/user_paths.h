#pragma once

#include <optional>
#include <string>

namespace utils {

// The per-user roaming data root under which the programs keep their log folders:
// $APPDATA when it is set (kept as given), otherwise $XDG_DATA_HOME, otherwise
// ~/.local/share. Paths use "/". Empty when nothing can be determined (no HOME).
struct UserDataRoot {
  std::string path;
  // True when the root came from APPDATA: it is used as it stands and never created.
  bool explicit_root = false;
};
std::optional<UserDataRoot> GetUserDataRoot();

// mkdir -p; true when the folder exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace utils
