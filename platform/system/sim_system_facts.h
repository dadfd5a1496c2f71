#pragma once

#include "platform/system/system_facts.h"

namespace platform::system {

// Fixed facts for tests and simulated runs; each may be replaced or made to fail.
class SimSystemFacts : public ISystemFacts {
 public:
  std::string os_name = "Linux";
  SystemFact os_version = SystemFact::Of("Simulated Linux 1.0");
  SystemFact host_name = SystemFact::Of("sim-host");
  SystemFact user_name = SystemFact::Of("Sim User");

  std::string OsName() override { return os_name; }
  SystemFact OsVersion() override { return os_version; }
  SystemFact HostName() override { return host_name; }
  SystemFact UserDisplayName() override { return user_name; }
};

}  // namespace platform::system
