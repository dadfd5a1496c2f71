#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The 8-character connection code the receiver shows, which carries its whole IPv4
// address and the index of its session-protocol port:
//
//   40-bit number N, big-endian bytes B0 B1 B2 B3 B4, written as eight base-32 digits,
//   most significant first; digits "0"-"9" are 0-9 and "A"-"V" are 10-31.
//
//   B0  bits 7-5  rotation index i: the address is rotated left by
//                 kAirCodeRotationEntries[i] + 1 bits (12, 28, 8, 32, 16, 4, 20, 24)
//       bits 4-3  port index into kAirCodePorts {7382, 7383, 7384, 7385}
//       bits 2-0  check: bits 2-0 of B4
//   B1..B4        the rotated address, big-endian
//
// The client's entry cannot type 0, 1, I and O (they look alike); it reads W, X, Y and
// Z in their places, so the code on the display is written with those letters.
namespace receiver::wire {

constexpr size_t kLongAirCodeLength = 8;
constexpr std::array<uint16_t, 4> kAirCodePorts = {7382, 7383, 7384, 7385};
constexpr std::array<uint8_t, 8> kAirCodeRotationEntries = {11, 27, 7, 31, 15, 3, 19, 23};

// The port's index in kAirCodePorts; nothing for a port no code can carry.
std::optional<unsigned> AirCodePortIndex(uint16_t port);

// The code in plain digits ("0"-"9", "A"-"V"); nothing when the port has no index or
// the rotation index is not 0-7.
std::optional<std::string> EncodeLongAirCode(uint32_t address, uint16_t port,
                                             unsigned rotation_index);
// The same for a dotted-decimal address; nothing when it is not one.
std::optional<std::string> EncodeLongAirCode(const std::string& address, uint16_t port,
                                             unsigned rotation_index);

// The code as the display shows it: 0, 1, I, O written as W, X, Y, Z.
std::string ToDisplayedAirCode(const std::string& code);

struct LongAirCode {
  uint32_t address = 0;
  uint16_t port = 0;
  unsigned rotation_index = 0;
};

// The way back, for the codec's own tests: accepts plain and displayed digits in
// either case; nothing for a wrong length, a character outside the alphabet or check
// bits that disagree.
std::optional<LongAirCode> DecodeLongAirCode(const std::string& code);

// "a.b.c.d" for a host-order address, and back (nothing unless four octets 0-255).
std::string DottedAddress(uint32_t address);
std::optional<uint32_t> ParseDottedAddress(const std::string& text);

}  // namespace receiver::wire
