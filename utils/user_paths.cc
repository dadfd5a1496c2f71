#include "utils/user_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace utils {

namespace {
std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::optional<UserDataRoot> GetUserDataRoot() {
  std::string appdata = Env("APPDATA");
  if (!appdata.empty()) return UserDataRoot{appdata, true};
  std::string xdg = Env("XDG_DATA_HOME");
  if (!xdg.empty()) return UserDataRoot{xdg, false};
  std::string home = Env("HOME");
  if (home.empty()) return std::nullopt;
  return UserDataRoot{home + "/.local/share", false};
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace utils
