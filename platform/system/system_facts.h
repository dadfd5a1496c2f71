#pragma once

#include <memory>
#include <string>

// Facts about this computer that the device-info service offers to the receiver.
namespace platform::system {

// A value, or the reason it could not be had (then the value is empty).
struct SystemFact {
  std::string value;
  std::string error;
  bool ok() const { return error.empty(); }
  static SystemFact Of(std::string v) { return {std::move(v), {}}; }
  static SystemFact Failed(std::string why) { return {{}, std::move(why)}; }
};

class ISystemFacts {
 public:
  virtual ~ISystemFacts() = default;
  // The operating system's name ("Linux" on Linux).
  virtual std::string OsName() = 0;
  // Its product name and version, e.g. "Debian GNU/Linux 12 (bookworm)".
  virtual SystemFact OsVersion() = 0;
  // The computer's host name.
  virtual SystemFact HostName() = 0;
  // The user's display name, else the login name. UTF-8.
  virtual SystemFact UserDisplayName() = 0;
};

// Under CASTORA_PLATFORM=sim fixed, scriptable facts; otherwise those of this machine.
std::unique_ptr<ISystemFacts> CreateSystemFacts();

}  // namespace platform::system
