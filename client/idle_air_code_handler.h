#pragma once

#include <cstdint>
#include <string>

#include "client/air_code_handler.h"

// Class 3: the receiver has no address to offer. Never valid; parses to nothing.
class IdleAirCodeHandler : public AirCodeHandler {
 public:
  IdleAirCodeHandler();

  bool Check(const std::string& code) const override;
  bool InsertIp(const std::string& ip) override;
  bool InsertPort(uint16_t port) override;
  void InsertRandom(uint32_t random) override;
  void InsertType() override;
  void InsertCheck() override;
  std::string ParseIp(Bytes& bytes) const override;
  uint16_t ParsePort(const Bytes& bytes) const override;
};
