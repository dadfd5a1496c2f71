#include "client/class_b_air_code_handler.h"

#include <fmt/format.h>

#include "client/air_code.h"

namespace {

uint8_t Bit(uint8_t byte, int n) { return static_cast<uint8_t>((byte >> n) & 1); }

uint8_t WithBit(uint8_t byte, int n, uint8_t value) {
  return static_cast<uint8_t>((byte & ~(1u << n)) | ((value & 1u) << n));
}

}  // namespace

ClassBAirCodeHandler::ClassBAirCodeHandler() : AirCodeHandler("172.") {}

bool ClassBAirCodeHandler::Check(const std::string& code) const {
  Bytes b{};
  if (!DecodeAirCode(code, b)) return false;
  // The check covers the bits as coded, before the moved bits are restored.
  return ((b[0] >> 1) & 0x7) == (b[3] & 0x7);
}

bool ClassBAirCodeHandler::InsertIp(const std::string& ip) {
  Bytes octets{};
  if (!ParseIpv4(ip, octets) || octets[0] != 172 || octets[1] < 16 || octets[1] > 31) return false;
  Bytes b = CodeBytes();
  b[1] = static_cast<uint8_t>((b[1] & 0xF0) | (octets[1] - 16));
  b[2] = octets[2];
  b[3] = octets[3];
  // b2 bit 2 and b3 bit 0 travel in b1 bits 7 and 6; their places go to random bits.
  b[1] = WithBit(b[1], 7, Bit(octets[2], 2));
  b[1] = WithBit(b[1], 6, Bit(octets[3], 0));
  SetCodeBytes(b);
  return true;
}

bool ClassBAirCodeHandler::InsertPort(uint16_t port) {
  int index = PortIndex(port);
  if (index < 0) return false;
  Bytes b = CodeBytes();
  // Port bit 1 stays in b1 bit 5; port bit 0 travels in b0 bit 0.
  b[1] = WithBit(b[1], 5, static_cast<uint8_t>(index >> 1));
  b[0] = WithBit(b[0], 0, static_cast<uint8_t>(index));
  SetCodeBytes(b);
  return true;
}

void ClassBAirCodeHandler::InsertRandom(uint32_t random) {
  Bytes b = CodeBytes();
  b[1] = WithBit(b[1], 4, static_cast<uint8_t>(random));
  b[2] = WithBit(b[2], 2, static_cast<uint8_t>(random >> 1));
  b[3] = WithBit(b[3], 0, static_cast<uint8_t>(random >> 2));
  SetCodeBytes(b);
}

void ClassBAirCodeHandler::InsertType() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>((b[0] & ~0x30) | 0x10);
  SetCodeBytes(b);
}

void ClassBAirCodeHandler::InsertCheck() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>((b[0] & ~0x0E) | ((b[3] & 0x7) << 1));
  SetCodeBytes(b);
}

std::string ClassBAirCodeHandler::ParseIp(Bytes& b) const {
  const uint8_t t = static_cast<uint8_t>((Bit(b[0], 0) << 2) | (Bit(b[1], 7) << 1) | Bit(b[1], 6));
  b[1] = WithBit(b[1], 4, static_cast<uint8_t>(t >> 2));
  b[2] = WithBit(b[2], 2, static_cast<uint8_t>(t >> 1));
  b[3] = WithBit(b[3], 0, t);
  return fmt::format("{}{}.{}.{}", prefix_, (b[1] & 0xF) + 16, b[2], b[3]);
}

uint16_t ClassBAirCodeHandler::ParsePort(const Bytes& b) const {
  return port_table_[(b[1] >> 4) & 0x3];
}
