#include "client/class_c_air_code_handler.h"

#include <fmt/format.h>

#include "client/air_code.h"

namespace {

uint8_t Bit(uint8_t byte, int n) { return static_cast<uint8_t>((byte >> n) & 1); }

uint8_t WithBit(uint8_t byte, int n, uint8_t value) {
  return static_cast<uint8_t>((byte & ~(1u << n)) | ((value & 1u) << n));
}

}  // namespace

ClassCAirCodeHandler::ClassCAirCodeHandler() : AirCodeHandler("192.168.") {}

bool ClassCAirCodeHandler::Check(const std::string& code) const {
  Bytes b{};
  if (!DecodeAirCode(code, b)) return false;
  return (b[0] & 0xF) * 4 + ((b[1] >> 6) & 0x3) == (b[3] & 0x3F);
}

bool ClassCAirCodeHandler::InsertIp(const std::string& ip) {
  Bytes octets{};
  if (!ParseIpv4(ip, octets) || octets[0] != 192 || octets[1] != 168) return false;
  Bytes b = CodeBytes();
  b[2] = octets[2];
  b[3] = octets[3];
  b[1] = WithBit(b[1], 3, Bit(octets[2], 2));
  b[1] = WithBit(b[1], 2, Bit(octets[3], 0));
  SetCodeBytes(b);
  return true;
}

bool ClassCAirCodeHandler::InsertPort(uint16_t port) {
  int index = PortIndex(port);
  if (index < 0) return false;
  Bytes b = CodeBytes();
  b[1] = static_cast<uint8_t>((b[1] & ~0x3) | index);
  SetCodeBytes(b);
  return true;
}

void ClassCAirCodeHandler::InsertRandom(uint32_t random) {
  Bytes b = CodeBytes();
  b[2] = WithBit(b[2], 2, static_cast<uint8_t>(random));
  b[3] = WithBit(b[3], 0, static_cast<uint8_t>(random >> 1));
  SetCodeBytes(b);
}

void ClassCAirCodeHandler::InsertType() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>((b[0] & ~0x30) | 0x20);
  SetCodeBytes(b);
}

void ClassCAirCodeHandler::InsertCheck() {
  Bytes b = CodeBytes();
  const uint8_t check = b[3] & 0x3F;
  b[0] = static_cast<uint8_t>((b[0] & ~0x0F) | (check >> 2));
  b[1] = static_cast<uint8_t>((b[1] & ~0xC0) | ((check & 0x3) << 6));
  SetCodeBytes(b);
}

std::string ClassCAirCodeHandler::ParseIp(Bytes& b) const {
  b[2] = WithBit(b[2], 2, Bit(b[1], 3));
  b[3] = WithBit(b[3], 0, Bit(b[1], 2));
  return fmt::format("{}{}.{}", prefix_, b[2], b[3]);
}

uint16_t ClassCAirCodeHandler::ParsePort(const Bytes& b) const {
  return port_table_[b[1] & 0x3];
}
