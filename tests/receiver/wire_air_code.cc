#include "tests/receiver/wire_air_code.h"

#include <cstdio>

namespace receiver::wire {
namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

uint32_t RotateLeft(uint32_t value, unsigned bits) {
  bits %= 32;
  return bits == 0 ? value : (value << bits) | (value >> (32 - bits));
}

uint32_t RotateRight(uint32_t value, unsigned bits) { return RotateLeft(value, (32 - bits % 32) % 32); }

// The value of one character, or -1 outside the alphabet; W, X, Y, Z stand for 0, 1,
// I and O.
int DigitValue(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  switch (c) {
    case 'W':
      return 0;
    case 'X':
      return 1;
    case 'Y':
      return 'I' - 'A' + 10;
    case 'Z':
      return 'O' - 'A' + 10;
    default:
      break;
  }
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<unsigned> AirCodePortIndex(uint16_t port) {
  for (unsigned i = 0; i < kAirCodePorts.size(); ++i) {
    if (kAirCodePorts[i] == port) return i;
  }
  return std::nullopt;
}

std::optional<std::string> EncodeLongAirCode(uint32_t address, uint16_t port,
                                             unsigned rotation_index) {
  const auto port_index = AirCodePortIndex(port);
  if (!port_index || rotation_index >= kAirCodeRotationEntries.size()) return std::nullopt;
  const uint32_t word = RotateLeft(address, kAirCodeRotationEntries[rotation_index] + 1u);
  const uint8_t b0 = static_cast<uint8_t>((rotation_index << 5) | (*port_index << 3) | (word & 0x7));
  const uint64_t number = (static_cast<uint64_t>(b0) << 32) | word;
  std::string code(kLongAirCodeLength, '0');
  for (size_t i = 0; i < kLongAirCodeLength; ++i) {
    code[i] = kDigits[(number >> (5 * (kLongAirCodeLength - 1 - i))) & 0x1F];
  }
  return code;
}

std::optional<std::string> EncodeLongAirCode(const std::string& address, uint16_t port,
                                             unsigned rotation_index) {
  const auto value = ParseDottedAddress(address);
  if (!value) return std::nullopt;
  return EncodeLongAirCode(*value, port, rotation_index);
}

std::string ToDisplayedAirCode(const std::string& code) {
  std::string shown = code;
  for (char& c : shown) {
    switch (c) {
      case '0':
        c = 'W';
        break;
      case '1':
        c = 'X';
        break;
      case 'I':
        c = 'Y';
        break;
      case 'O':
        c = 'Z';
        break;
      default:
        break;
    }
  }
  return shown;
}

std::optional<LongAirCode> DecodeLongAirCode(const std::string& code) {
  if (code.size() != kLongAirCodeLength) return std::nullopt;
  uint64_t number = 0;
  for (char c : code) {
    const int digit = DigitValue(c);
    if (digit < 0) return std::nullopt;
    number = (number << 5) | static_cast<uint64_t>(digit);
  }
  const auto b0 = static_cast<uint8_t>(number >> 32);
  const auto word = static_cast<uint32_t>(number);
  if ((b0 & 0x7) != (word & 0x7)) return std::nullopt;
  LongAirCode decoded;
  decoded.rotation_index = b0 >> 5;
  decoded.port = kAirCodePorts[(b0 >> 3) & 0x3];
  decoded.address = RotateRight(word, kAirCodeRotationEntries[decoded.rotation_index] + 1u);
  return decoded;
}

std::string DottedAddress(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF,
                (address >> 8) & 0xFF, address & 0xFF);
  return text;
}

std::optional<uint32_t> ParseDottedAddress(const std::string& text) {
  uint32_t address = 0;
  size_t pos = 0;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    size_t digits = 0;
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address = (address << 8) | value;
  }
  if (pos != text.size()) return std::nullopt;
  return address;
}

}  // namespace receiver::wire
