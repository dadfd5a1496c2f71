#include "crcp/version.h"

#include <cstring>

#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::version";
}

Version ParseVersion(const char* text) {
  Version v;
  const size_t size = std::strlen(text);
  if (size == 0) return v;
  v.letter = text[0];
  uint16_t* fields[] = {&v.major, &v.minor, &v.patch, &v.build};
  size_t i = 2;
  for (uint16_t* field : fields) {
    uint16_t value = 0;
    while (i < size && text[i] >= '0' && text[i] <= '9') {
      value = static_cast<uint16_t>(value * 10 + (text[i] - '0'));
      ++i;
    }
    *field = value;
    ++i;  // the '.'
  }
  LOG_INFO("Version {}, {}, {}, {}, {}", v.letter, v.major, v.minor, v.patch, v.build);
  return v;
}

Version ParseVersion() { return ParseVersion(kVersionName); }

const Version& GetVersion() {
  static const Version version = ParseVersion();
  return version;
}

uint16_t GetProtocolVersion() { return GetVersion().major; }

}  // namespace crcp
