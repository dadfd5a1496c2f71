#include "platform/backend.h"

#include <cstdlib>
#include <cstring>

namespace platform {

Backend SelectedBackend() {
  const char* v = std::getenv("CASTORA_PLATFORM");
  return (v != nullptr && std::strcmp(v, "sim") == 0) ? Backend::kSimulated : Backend::kReal;
}

}  // namespace platform
