#include "crcp/hex_dump.h"

namespace crcp {

std::string HexDump(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  if (data == nullptr || size == 0) return out;
  out.reserve(size * 3);
  for (size_t i = 0; i < size; ++i) {
    if (i != 0) out.push_back(' ');
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0x0F]);
  }
  return out;
}

}  // namespace crcp
