#include "client/idle_air_code_handler.h"

#include <cstdio>

IdleAirCodeHandler::IdleAirCodeHandler() : AirCodeHandler(std::string()) {}

bool IdleAirCodeHandler::Check(const std::string&) const { return false; }

bool IdleAirCodeHandler::InsertIp(const std::string&) { return false; }

bool IdleAirCodeHandler::InsertPort(uint16_t) { return false; }

void IdleAirCodeHandler::InsertRandom(uint32_t) {}

void IdleAirCodeHandler::InsertType() {
  Bytes b = CodeBytes();
  b[0] = static_cast<uint8_t>(b[0] | 0x30);
  SetCodeBytes(b);
}

void IdleAirCodeHandler::InsertCheck() {}

std::string IdleAirCodeHandler::ParseIp(Bytes&) const {
  std::puts("idle parse ip");
  return std::string();
}

uint16_t IdleAirCodeHandler::ParsePort(const Bytes&) const {
  std::puts("idle parse port");
  return 0;
}
