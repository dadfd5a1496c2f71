#include "platform/system/system_facts.h"

#include "platform/backend.h"
#include "platform/system/linux_system_facts.h"
#include "platform/system/sim_system_facts.h"

namespace platform::system {

std::unique_ptr<ISystemFacts> CreateSystemFacts() {
  if (SelectedBackend() == Backend::kSimulated) return std::make_unique<SimSystemFacts>();
  return std::make_unique<LinuxSystemFacts>();
}

}  // namespace platform::system
