#include "client/air_code.h"

#include <fmt/format.h>

#include "client/class_a_air_code_handler.h"
#include "client/class_b_air_code_handler.h"
#include "client/class_c_air_code_handler.h"
#include "client/idle_air_code_handler.h"

namespace {

constexpr size_t kShortCodeLength = 6;
constexpr size_t kLongCodeLength = 8;

// Folds and decodes `count` digits, most significant first, into a 64-bit number.
bool DecodeDigits(const std::string& code, size_t count, uint64_t& value) {
  if (code.size() < count) return false;
  const std::string folded = MapAirCodeAliases(code.substr(0, count));
  value = 0;
  for (char c : folded) {
    const int digit = AirCodeDigit(c);
    if (digit < 0) return false;
    value = (value << 5) | static_cast<uint64_t>(digit);
  }
  return true;
}

uint32_t RotateRight(uint32_t word, unsigned bits) {
  bits &= 31;  // a rotation by 32 leaves the word as it is
  if (bits == 0) return word;
  return (word >> bits) | (word << (32 - bits));
}

}  // namespace

std::string MapAirCodeAliases(const std::string& code) {
  std::string folded = code;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    switch (c) {
      case 'W': c = '0'; break;
      case 'X': c = '1'; break;
      case 'Y': c = 'I'; break;
      case 'Z': c = 'O'; break;
      default: break;
    }
  }
  return folded;
}

int AirCodeDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return -1;
}

bool DecodeAirCode(const std::string& code, AirCodeHandler::Bytes& bytes) {
  uint64_t value = 0;
  if (!DecodeDigits(code, kShortCodeLength, value)) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(value >> (8 * (bytes.size() - 1 - i)));
  }
  return true;
}

std::unique_ptr<AirCodeHandler> CreateAirCodeHandler(const std::string& code) {
  AirCodeHandler::Bytes bytes{};
  if (!DecodeAirCode(code, bytes)) return std::make_unique<ClassAAirCodeHandler>();
  switch ((bytes[0] >> 4) & 0x3) {
    case 1: return std::make_unique<ClassBAirCodeHandler>();
    case 2: return std::make_unique<ClassCAirCodeHandler>();
    case 3: return std::make_unique<IdleAirCodeHandler>();
    default: return std::make_unique<ClassAAirCodeHandler>();
  }
}

bool IsValidAirCode(const std::string& code) {
  if (code.size() == kLongCodeLength) return IsValidLongAirCode(code);
  if (code.size() != kShortCodeLength) return false;
  return CreateAirCodeHandler(code)->Check(code);
}

std::pair<std::string, uint16_t> ParseAirCode(const std::string& code) {
  if (code.size() == kLongCodeLength) return ParseLongAirCode(code);
  if (code.size() != kShortCodeLength) return {std::string(), 0};
  return CreateAirCodeHandler(code)->ParseAddress(code);
}

bool DecodeLongAirCode(const std::string& code, LongAirCodeBytes& bytes) {
  uint64_t value = 0;
  if (code.size() != kLongCodeLength || !DecodeDigits(code, kLongCodeLength, value)) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(value >> (8 * (bytes.size() - 1 - i)));
  }
  return true;
}

bool IsValidLongAirCode(const std::string& code) {
  LongAirCodeBytes b{};
  if (!DecodeLongAirCode(code, b)) return false;
  return (b[0] & 0x7) == (b[4] & 0x7);
}

std::pair<std::string, uint16_t> ParseLongAirCode(const std::string& code) {
  LongAirCodeBytes b{};
  if (!DecodeLongAirCode(code, b)) return {std::string(), 0};
  const uint32_t word = (static_cast<uint32_t>(b[1]) << 24) | (static_cast<uint32_t>(b[2]) << 16) |
                        (static_cast<uint32_t>(b[3]) << 8) | b[4];
  const unsigned rotation = kLongAirCodeRotations[b[0] >> 5] + 1u;
  const uint32_t address = RotateRight(word, rotation);
  std::string ip = fmt::format("{}.{}.{}.{}", address >> 24, (address >> 16) & 0xFF,
                               (address >> 8) & 0xFF, address & 0xFF);
  return {std::move(ip), AirCodeHandler::kPortTable[(b[0] >> 3) & 0x3]};
}
