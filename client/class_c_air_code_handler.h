#pragma once

#include <cstdint>
#include <string>

#include "client/air_code_handler.h"

// Class 2: 192.168.b2.b3. b1 bits 1-0 index the port table; b2 bit 2 travels in
// b1 bit 3 and b3 bit 0 in b1 bit 2. The check: (b0 bits 3-0) * 4 + (b1 bits 7-6)
// equals the coded b3 bits 5-0.
class ClassCAirCodeHandler : public AirCodeHandler {
 public:
  ClassCAirCodeHandler();

  bool Check(const std::string& code) const override;
  bool InsertIp(const std::string& ip) override;
  bool InsertPort(uint16_t port) override;
  void InsertRandom(uint32_t random) override;
  void InsertType() override;
  void InsertCheck() override;
  std::string ParseIp(Bytes& bytes) const override;
  uint16_t ParsePort(const Bytes& bytes) const override;
};
