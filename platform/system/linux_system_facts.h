#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system/system_facts.h"

namespace platform::system {

// The facts of a Linux machine: the host name, the passwd entry of the effective
// user, and the PRETTY_NAME of os-release.
class LinuxSystemFacts : public ISystemFacts {
 public:
  // `os_release_paths`: where os-release is looked for, in order.
  LinuxSystemFacts();
  explicit LinuxSystemFacts(std::vector<std::string> os_release_paths);

  std::string OsName() override { return "Linux"; }
  SystemFact OsVersion() override;
  SystemFact HostName() override;
  SystemFact UserDisplayName() override;

  // PRETTY_NAME from the text of an os-release file (quotes and escapes removed);
  // "Linux" when the file sets none, as os-release prescribes.
  static std::string PrettyNameFromOsRelease(const std::string& text);
  // The first comma-separated field of a passwd comment ('&' stands for the login name
  // with a capital), trimmed; the login name when that field is empty.
  static std::string DisplayNameFromGecos(const std::string& gecos, const std::string& login);

 private:
  std::vector<std::string> os_release_paths_;
};

}  // namespace platform::system
