#pragma once

#include <cstdint>
#include <string>

#include "client/air_code_handler.h"

// Class 1: 172.(16 + b1 bits 3-0).b2.b3. The encoder moves three bits out of
// place: port bit 0 (b1 bit 4), b2 bit 2 and b3 bit 0 travel as t = b0 bit 0,
// b1 bit 7, b1 bit 6; the freed places carry random bits. b0 bits 3-1 repeat the
// coded b3 bits 2-0 as the check; the port index is b1 bits 5-4 once restored.
class ClassBAirCodeHandler : public AirCodeHandler {
 public:
  ClassBAirCodeHandler();

  bool Check(const std::string& code) const override;
  bool InsertIp(const std::string& ip) override;
  bool InsertPort(uint16_t port) override;
  void InsertRandom(uint32_t random) override;
  void InsertType() override;
  void InsertCheck() override;
  std::string ParseIp(Bytes& bytes) const override;
  uint16_t ParsePort(const Bytes& bytes) const override;
};
