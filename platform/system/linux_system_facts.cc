#include "platform/system/linux_system_facts.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform::system {

namespace {
std::string Trim(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  return s.substr(begin, end - begin);
}

// An os-release value: shell-like, in double or single quotes or bare; inside double
// quotes a backslash escapes ", \, $ and `.
std::string Unquote(const std::string& raw) {
  std::string v = Trim(raw);
  if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') return v.substr(1, v.size() - 2);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
    std::string out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
      if (v[i] == '\\' && i + 2 < v.size() && std::strchr("\"\\$`", v[i + 1]) != nullptr) ++i;
      out.push_back(v[i]);
    }
    return out;
  }
  return v;
}
}  // namespace

LinuxSystemFacts::LinuxSystemFacts()
    : LinuxSystemFacts({"/etc/os-release", "/usr/lib/os-release"}) {}

LinuxSystemFacts::LinuxSystemFacts(std::vector<std::string> os_release_paths)
    : os_release_paths_(std::move(os_release_paths)) {}

std::string LinuxSystemFacts::PrettyNameFromOsRelease(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::string pretty = "Linux";
  while (std::getline(lines, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const size_t eq = trimmed.find('=');
    if (eq == std::string::npos || Trim(trimmed.substr(0, eq)) != "PRETTY_NAME") continue;
    const std::string value = Unquote(trimmed.substr(eq + 1));
    if (!value.empty()) pretty = value;
  }
  return pretty;
}

std::string LinuxSystemFacts::DisplayNameFromGecos(const std::string& gecos,
                                                   const std::string& login) {
  const std::string field = gecos.substr(0, gecos.find(','));
  std::string name;
  for (char c : field) {
    if (c == '&') {
      std::string capital = login;
      if (!capital.empty()) capital[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capital[0])));
      name += capital;
    } else {
      name.push_back(c);
    }
  }
  name = Trim(name);
  return name.empty() ? login : name;
}

SystemFact LinuxSystemFacts::OsVersion() {
  for (const std::string& path : os_release_paths_) {
    std::ifstream file(path);
    if (!file) continue;
    std::ostringstream text;
    text << file.rdbuf();
    return SystemFact::Of(PrettyNameFromOsRelease(text.str()));
  }
  return SystemFact::Failed("no os-release file");
}

SystemFact LinuxSystemFacts::HostName() {
  char buffer[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return SystemFact::Failed(std::strerror(errno));
  return SystemFact::Of(buffer);
}

SystemFact LinuxSystemFacts::UserDisplayName() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry {};
  passwd* found = nullptr;
  int rc;
  while ((rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  if (rc == 0 && found != nullptr && found->pw_name != nullptr) {
    return SystemFact::Of(
        DisplayNameFromGecos(found->pw_gecos != nullptr ? found->pw_gecos : "", found->pw_name));
  }
  // No passwd entry (a container user, say): the login name from the environment.
  for (const char* variable : {"USER", "LOGNAME"}) {
    const char* login = std::getenv(variable);
    if (login != nullptr && *login != '\0') return SystemFact::Of(login);
  }
  return SystemFact::Failed(rc != 0 ? std::strerror(rc) : "no passwd entry for this user");
}

}  // namespace platform::system
