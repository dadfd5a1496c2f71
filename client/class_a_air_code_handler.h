#pragma once

#include <cstdint>
#include <string>

#include "client/air_code_handler.h"

// Class 0: 10.b1.b2.b3. b0 bits 1-0 index the port table; b0 bits 3-2 repeat
// b3 bits 1-0 as the check.
class ClassAAirCodeHandler : public AirCodeHandler {
 public:
  ClassAAirCodeHandler();

  bool Check(const std::string& code) const override;
  bool InsertIp(const std::string& ip) override;
  bool InsertPort(uint16_t port) override;
  void InsertRandom(uint32_t random) override;
  void InsertType() override;
  void InsertCheck() override;
  std::string ParseIp(Bytes& bytes) const override;
  uint16_t ParsePort(const Bytes& bytes) const override;
};
