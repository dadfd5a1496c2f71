#include "client/class_a_air_code_handler.h"

#include <fmt/format.h>

#include "client/air_code.h"

ClassAAirCodeHandler::ClassAAirCodeHandler() : AirCodeHandler("10.") {}

bool ClassAAirCodeHandler::Check(const std::string& code) const {
  Bytes b{};
  if (!DecodeAirCode(code, b)) return false;
  return ((b[0] >> 2) & 0x3) == (b[3] & 0x3);
}

bool ClassAAirCodeHandler::InsertIp(const std::string& ip) {
  Bytes octets{};
  if (!ParseIpv4(ip, octets) || octets[0] != 10) return false;
  Bytes b = CodeBytes();
  b[1] = octets[1];
  b[2] = octets[2];
  b[3] = octets[3];
  SetCodeBytes(b);
  return true;
}

bool ClassAAirCodeHandler::InsertPort(uint16_t port) {
  int index = PortIndex(port);
  if (index < 0) return false;
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>((b[0] & ~0x3) | index);
  SetCodeBytes(b);
  return true;
}

void ClassAAirCodeHandler::InsertRandom(uint32_t) {
  // Every bit of a class-0 code carries address, port, class or check.
}

void ClassAAirCodeHandler::InsertType() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>(b[0] & ~0x30);
  SetCodeBytes(b);
}

void ClassAAirCodeHandler::InsertCheck() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>((b[0] & ~0x0C) | ((b[3] & 0x3) << 2));
  SetCodeBytes(b);
}

std::string ClassAAirCodeHandler::ParseIp(Bytes& b) const {
  return fmt::format("{}{}.{}.{}", prefix_, b[1], b[2], b[3]);
}

uint16_t ClassAAirCodeHandler::ParsePort(const Bytes& b) const {
  return port_table_[b[0] & 0x3];
}
