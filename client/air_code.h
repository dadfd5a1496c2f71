#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "client/air_code_handler.h"

// The connection code the receiver shows: 6 characters naming an address in one of
// three private ranges, or 8 characters carrying a whole IPv4 address. Digits are
// "0"-"9" and "A"-"V" (values 0-31); lower case is accepted, and W, X, Y, Z read as
// 0, 1, I, O. Any length other than 6 or 8 is invalid.

// True when the code is well formed: the right length, only digits of the alphabet
// and matching check bits.
bool IsValidAirCode(const std::string& code);

// The receiver's IPv4 address (dotted decimal) and session-protocol port. Empty text
// and port 0 for a code of the wrong length or one that does not decode.
std::pair<std::string, uint16_t> ParseAirCode(const std::string& code);

// Upper-cases the code and folds the aliases W, X, Y, Z into 0, 1, I, O.
std::string MapAirCodeAliases(const std::string& code);

// The value 0-31 of one folded character, or -1 outside the alphabet.
int AirCodeDigit(char c);

// Folds and decodes the first six characters into the bytes b0..b3.
bool DecodeAirCode(const std::string& code, AirCodeHandler::Bytes& bytes);

// The handler of the code's class; class 0 when the code does not decode.
std::unique_ptr<AirCodeHandler> CreateAirCodeHandler(const std::string& code);

// 8-character codes: five big-endian bytes B0..B4. B0 bits 7-5 index the rotation
// table, bits 4-3 the port table, bits 2-0 repeat bits 2-0 of B4; B1..B4 hold the
// address rotated left by (rotation entry + 1) bits.
using LongAirCodeBytes = std::array<uint8_t, 5>;
constexpr std::array<uint8_t, 8> kLongAirCodeRotations = {11, 27, 7, 31, 15, 3, 19, 23};

bool DecodeLongAirCode(const std::string& code, LongAirCodeBytes& bytes);
bool IsValidLongAirCode(const std::string& code);
std::pair<std::string, uint16_t> ParseLongAirCode(const std::string& code);
