#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace crcp {

// "00 0A FF": uppercase hexadecimal byte pairs separated by blanks, for log lines
// about rejected packets.
std::string HexDump(const uint8_t* data, size_t size);

}  // namespace crcp
