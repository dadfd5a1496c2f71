#pragma once

#include <cstdint>

namespace crcp {

// The protocol's built-in version text, sent as "version_name" in the handshake.
inline constexpr const char* kVersionName = "R.5.5.8.41";

// The parsed version text: a letter, then four dot-separated numbers.
struct Version {
  char letter = 0;
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t patch = 0;
  uint16_t build = 0;
};

// Parses kVersionName. Numbers accumulate decimal digits (wrapping at 16 bits) up
// to the first non-digit; the next number starts one past it.
Version ParseVersion();
Version ParseVersion(const char* text);
const Version& GetVersion();
// The version field of both packet kinds: GetVersion().major, 5.
uint16_t GetProtocolVersion();

}  // namespace crcp
