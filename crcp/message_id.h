#pragma once

#include <cstdint>

namespace crcp {

// Control message ids of a session. Contents: kHello and kHelloResponse carry null;
// kServiceMessage carries {"serviceId": string, "message": string}; the handshake's
// bodies are the client handshake's.
enum MessageId : uint16_t {
  kShakeHand = 0,
  kHello = 1,
  kLaunchService = 4,
  kShakeHandResponse = 100,
  kLaunchServiceResponse = 101,
  kReserved102 = 102,  // defined by the protocol, no sender or handler
  kHelloResponse = 103,
  kReserved201 = 201,  // defined by the protocol, no sender or handler
  kServiceMessage = 202,
  // Local connection errors only ({"code"}); never taken from the wire, where 60000 is
  // an unknown id like any other.
  kError = 60000,
};

}  // namespace crcp
