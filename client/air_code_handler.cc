#include "client/air_code_handler.h"

#include "client/air_code.h"

AirCodeHandler::~AirCodeHandler() = default;

std::pair<std::string, uint16_t> AirCodeHandler::ParseAddress(const std::string& code) const {
  Bytes bytes{};
  if (!DecodeAirCode(code, bytes)) return {std::string(), 0};
  std::string ip = ParseIp(bytes);
  uint16_t port = ParsePort(bytes);
  return {std::move(ip), port};
}

AirCodeHandler::Bytes AirCodeHandler::CodeBytes() const {
  return {static_cast<uint8_t>(code_ >> 24), static_cast<uint8_t>(code_ >> 16),
          static_cast<uint8_t>(code_ >> 8), static_cast<uint8_t>(code_)};
}

void AirCodeHandler::SetCodeBytes(const Bytes& bytes) {
  // Six base-32 digits hold 30 bits: the top two bits of b0 are always clear.
  code_ = (static_cast<uint32_t>(bytes[0] & 0x3F) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
          (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

bool AirCodeHandler::ParseIpv4(const std::string& ip, Bytes& octets) {
  size_t pos = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= ip.size() || ip[pos] != '.') return false;
      ++pos;
    }
    size_t digits = 0;
    unsigned value = 0;
    while (pos < ip.size() && ip[pos] >= '0' && ip[pos] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(ip[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || value > 255) return false;
    octets[i] = static_cast<uint8_t>(value);
  }
  return pos == ip.size();
}

int AirCodeHandler::PortIndex(uint16_t port) {
  for (size_t i = 0; i < kPortTable.size(); ++i) {
    if (kPortTable[i] == port) return static_cast<int>(i);
  }
  return -1;
}
