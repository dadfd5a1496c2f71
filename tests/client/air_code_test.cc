#include "client/air_code.h"

#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "client/class_a_air_code_handler.h"
#include "client/class_b_air_code_handler.h"
#include "client/class_c_air_code_handler.h"
#include "client/idle_air_code_handler.h"

namespace {

using Address = std::pair<std::string, uint16_t>;
const Address kNoAddress{std::string(), 0};

struct CodeCase {
  const char* code;
  const char* ip;
  uint16_t port;
};

// Each code was built by hand from the layout. For a 6-character code the comment
// gives b0 b1 b2 b3 as coded; for an 8-character one B0 and the rotated word.
const CodeCase kValidCodes[] = {
    // Class 0: b0 = 00 00 cc pp (cc = b3 bits 1-0, pp = port index).
    {"7020G3", "10.1.2.3", 7384},        // 0E 01 02 03
    {"4CGP1I", "10.200.100.50", 7382},   // 08 C8 64 32
    {"7VVVVV", "10.255.255.255", 7385},  // 0F FF FF FF
    {"0G0000", "10.0.0.0", 7383},        // 01 00 00 00
    // Class 1: b0 = 00 01 ccc t2, b1 = t1 t0 p1 r . second octet - 16.
    {"EQ8086", "172.20.5.6", 7385},      // 1D A4 01 06: t = 101 (port bit 0, b2.2, b3.0)
    {"9DVVO1", "172.31.255.1", 7382},    // 13 5F FF 01: random bits 111 in b1.4 b2.2 b3.0
    {"DH0005", "172.16.0.4", 7383},      // 1B 40 00 05: b3 coded 05, restored 04
    {"CEGH2C", "172.24.68.77", 7384},    // 18 E8 44 4C: t = 011, random b2.2 = 1
    // Class 2: b0 = 00 10 cccc, b1 = cc . . m2 m3 pp; check = coded b3 bits 5-0.
    {"GOA086", "192.168.1.7", 7383},     // 21 85 01 06: b3 bit 0 travels in b1 bit 2
    {"G48101", "192.168.0.1", 7382},     // 20 44 01 01: random b2.2 = 1
    {"NONVVU", "192.168.255.254", 7385}, // 2F 8B FF FE: b2.2 restored from b1 bit 3
    {"G4KO21", "192.168.100.64", 7384},  // 20 4A 60 41: random b3.0 = 1
    // 8 characters, one per rotation entry (rotation = entry + 1 bits).
    {"0A0VP30A", "192.168.31.200", 7382},  // 02 83F9190A: entry 0, r 12
    {"508A0000", "10.0.0.1", 7383},        // 28 10000000: entry 1, r 28
    {"AG8G9ULC", "172.17.4.250", 7384},    // 54 1104FAAC: entry 2, r 8
    {"F5VG0001", "127.0.0.1", 7385},       // 79 7F000001: entry 3, r 32 keeps the word
    {"G0208208", "8.8.4.4", 7382},         // 80 04040808: entry 4, r 16
    {"LG58040S", "192.168.1.1", 7383},     // AC 0A801C: entry 5, r 4
    {"Q7H818A1", "10.20.30.40", 7384},     // D1 E2A0141E: entry 6, r 20
    {"V00VU040", "255.0.128.1", 7385},     // F8 00FF0080: entry 7, r 24
};

TEST(AirCodeTest, ValidCodesParseToTheirAddress) {
  for (const CodeCase& c : kValidCodes) {
    SCOPED_TRACE(c.code);
    EXPECT_TRUE(IsValidAirCode(c.code));
    EXPECT_EQ(ParseAirCode(c.code), Address(c.ip, c.port));
  }
}

TEST(AirCodeTest, HandlerFollowsTheClassBits) {
  EXPECT_NE(dynamic_cast<ClassAAirCodeHandler*>(CreateAirCodeHandler("7020G3").get()), nullptr);
  EXPECT_NE(dynamic_cast<ClassBAirCodeHandler*>(CreateAirCodeHandler("EQ8086").get()), nullptr);
  EXPECT_NE(dynamic_cast<ClassCAirCodeHandler*>(CreateAirCodeHandler("GOA086").get()), nullptr);
  EXPECT_NE(dynamic_cast<IdleAirCodeHandler*>(CreateAirCodeHandler("O00000").get()), nullptr);
  // A code that does not decode gets the class-0 handler.
  EXPECT_NE(dynamic_cast<ClassAAirCodeHandler*>(CreateAirCodeHandler("70-0G3").get()), nullptr);
}

TEST(AirCodeTest, BrokenCheckBitsAreInvalid) {
  // Same codes as above with the last character changed so the check disagrees.
  for (const char* code : {"7020G2", "EQ8087", "9DVVO0", "GOA087", "NONVVV", "0A0VP30B",
                           "F5VG0002", "V00VU041"}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(IsValidAirCode(code));
  }
  // A last character whose check bits agree again gives a valid class-0 neighbour.
  EXPECT_TRUE(IsValidAirCode("7020G7"));
  EXPECT_EQ(ParseAirCode("7020G7"), Address("10.1.2.7", 7384));
}

TEST(AirCodeTest, IdleClassIsNeverValidAndParsesToNothing) {
  // First digit 24 or more: b0 bits 5-4 = 3. "z" folds to "O" = 24.
  for (const char* code : {"O00000", "OVVVVV", "V12345", "z00000", "P7020G"}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(IsValidAirCode(code));
    testing::internal::CaptureStdout();
    EXPECT_EQ(ParseAirCode(code), kNoAddress);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "idle parse ip\nidle parse port\n");
  }
}

TEST(AirCodeTest, AliasesFoldInEitherCase) {
  const std::pair<const char*, const char*> kAliased[] = {
      {"G48XWX", "G48101"}, {"g48xwx", "G48101"},      // W -> 0, X -> 1
      {"9DVVZX", "9DVVO1"}, {"9dvvzX", "9DVVO1"},      // Z -> O
      {"4CGPXY", "4CGP1I"}, {"4cgpxy", "4CGP1I"},      // Y -> I
      {"LG58W4WS", "LG58040S"}, {"lg58w4ws", "LG58040S"},
      {"q7h8x8ax", "Q7H818A1"},
  };
  for (const auto& [aliased, plain] : kAliased) {
    SCOPED_TRACE(aliased);
    EXPECT_EQ(MapAirCodeAliases(aliased), plain);
    EXPECT_TRUE(IsValidAirCode(aliased));
    EXPECT_EQ(ParseAirCode(aliased), ParseAirCode(plain));
  }
  AirCodeHandler::Bytes folded{}, direct{};
  ASSERT_TRUE(DecodeAirCode("7wxyzv", folded));
  ASSERT_TRUE(DecodeAirCode("701IOV", direct));
  EXPECT_EQ(folded, direct);
}

TEST(AirCodeTest, CharactersOutsideTheAlphabetAreInvalid) {
  for (const char* code : {"7020-3", "7020G!", "70 0G3", "702\x01G3", "7020\xC3\xA9", "0A0VP3-A",
                           "0A0VP30.", "0A0VP3\xFF" "A"}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(IsValidAirCode(code));
    EXPECT_EQ(ParseAirCode(code), kNoAddress);
  }
}

TEST(AirCodeTest, WrongLengthsAreInvalidAndParseToNothing) {
  for (const char* code : {"", "7", "7020G", "7020G37", "0A0VP30A0", "0A0VP30A0A0VP30A"}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(IsValidAirCode(code));
    EXPECT_EQ(ParseAirCode(code), kNoAddress);
  }
  LongAirCodeBytes bytes{};
  EXPECT_FALSE(DecodeLongAirCode("0A0VP30", bytes));
}

// --- Round trip against an encoder written from the layout. ---

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
constexpr uint16_t kPorts[] = {7382, 7383, 7384, 7385};

std::string Digits(uint64_t value, int count) {
  std::string text(static_cast<size_t>(count), '0');
  for (int i = count - 1; i >= 0; --i, value >>= 5) text[static_cast<size_t>(i)] = kAlphabet[value & 31];
  return text;
}

uint8_t SetBit(uint8_t byte, int n, unsigned value) {
  return static_cast<uint8_t>((byte & ~(1u << n)) | ((value & 1u) << n));
}

std::string ShortCode(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return Digits((uint64_t{b0} << 24) | (uint64_t{b1} << 16) | (uint64_t{b2} << 8) | b3, 6);
}

// o = the address octets, p = port index, r = random bits for the freed places.
std::string EncodeShort(int cls, const uint8_t o[4], unsigned p, unsigned r) {
  switch (cls) {
    case 0:
      return ShortCode(static_cast<uint8_t>(((o[3] & 3) << 2) | p), o[1], o[2], o[3]);
    case 1: {
      uint8_t b1 = static_cast<uint8_t>((o[1] - 16) | ((p >> 1) << 5));
      b1 = SetBit(b1, 4, r);
      b1 = SetBit(b1, 7, o[2] >> 2);
      b1 = SetBit(b1, 6, o[3]);
      const uint8_t b2 = SetBit(o[2], 2, r >> 1);
      const uint8_t b3 = SetBit(o[3], 0, r >> 2);
      return ShortCode(static_cast<uint8_t>(0x10 | ((b3 & 7) << 1) | (p & 1)), b1, b2, b3);
    }
    default: {
      uint8_t b1 = static_cast<uint8_t>(p);
      b1 = SetBit(b1, 3, o[2] >> 2);
      b1 = SetBit(b1, 2, o[3]);
      const uint8_t b2 = SetBit(o[2], 2, r);
      const uint8_t b3 = SetBit(o[3], 0, r >> 1);
      const unsigned check = b3 & 0x3F;
      b1 = static_cast<uint8_t>(b1 | ((check & 3) << 6));
      return ShortCode(static_cast<uint8_t>(0x20 | (check >> 2)), b1, b2, b3);
    }
  }
}

std::string EncodeLong(uint32_t address, unsigned p, unsigned rotation_index) {
  const unsigned r = (kLongAirCodeRotations[rotation_index] + 1u) % 32u;
  const uint32_t word = r == 0 ? address : (address << r) | (address >> (32 - r));
  const uint64_t b0 = (rotation_index << 5) | (p << 3) | (word & 7);
  return Digits((b0 << 32) | word, 8);
}

std::string Dotted(const uint8_t o[4]) {
  return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
         std::to_string(o[3]);
}

// Writes 0, 1, I, O as their aliases and flips the case at random.
std::string Disguise(std::string code, std::mt19937& rng) {
  for (char& c : code) {
    if (rng() & 1) {
      if (c == '0') c = 'W';
      if (c == '1') c = 'X';
      if (c == 'I') c = 'Y';
      if (c == 'O') c = 'Z';
    }
    if ((rng() & 1) && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return code;
}

std::unique_ptr<AirCodeHandler> HandlerOfClass(int cls) {
  if (cls == 0) return std::make_unique<ClassAAirCodeHandler>();
  if (cls == 1) return std::make_unique<ClassBAirCodeHandler>();
  return std::make_unique<ClassCAirCodeHandler>();
}

TEST(AirCodeTest, ShortCodesRoundTrip) {
  std::mt19937 rng(20261210);
  static constexpr uint8_t kFirstOctet[] = {10, 172, 192};
  for (int i = 0; i < 3000; ++i) {
    const int cls = i % 3;
    uint8_t o[4] = {kFirstOctet[cls], static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                    static_cast<uint8_t>(rng())};
    if (cls == 1) o[1] = static_cast<uint8_t>(16 + (o[1] & 15));
    if (cls == 2) o[1] = 168;
    const unsigned p = rng() & 3;
    const unsigned r = rng() & 7;
    const std::string code = EncodeShort(cls, o, p, r);
    SCOPED_TRACE(code + " for " + Dotted(o));
    const Address expected(Dotted(o), kPorts[p]);
    ASSERT_TRUE(IsValidAirCode(code));
    ASSERT_EQ(ParseAirCode(code), expected);
    const std::string disguised = Disguise(code, rng);
    ASSERT_TRUE(IsValidAirCode(disguised)) << disguised;
    ASSERT_EQ(ParseAirCode(disguised), expected) << disguised;

    // The receiver-side Insert operations build the same address.
    auto handler = HandlerOfClass(cls);
    handler->InsertType();
    ASSERT_TRUE(handler->InsertIp(expected.first));
    ASSERT_TRUE(handler->InsertPort(expected.second));
    handler->InsertRandom(r);
    handler->InsertCheck();
    ASSERT_EQ(ParseAirCode(Digits(handler->code(), 6)), expected);
  }
}

TEST(AirCodeTest, LongCodesRoundTrip) {
  std::mt19937 rng(7386);
  for (int i = 0; i < 3000; ++i) {
    const uint32_t address = static_cast<uint32_t>(rng());
    const uint8_t o[4] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                          static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    const unsigned p = rng() & 3;
    const unsigned rotation_index = static_cast<unsigned>(i % 8);
    const std::string code = EncodeLong(address, p, rotation_index);
    SCOPED_TRACE(code + " for " + Dotted(o));
    ASSERT_TRUE(IsValidAirCode(code));
    ASSERT_EQ(ParseAirCode(Disguise(code, rng)), Address(Dotted(o), kPorts[p]));
  }
}

TEST(AirCodeTest, InsertRejectsAddressesOutsideTheClass) {
  ClassAAirCodeHandler a;
  ClassBAirCodeHandler b;
  ClassCAirCodeHandler c;
  IdleAirCodeHandler idle;
  EXPECT_FALSE(a.InsertIp("11.0.0.1"));
  EXPECT_FALSE(b.InsertIp("172.32.0.1"));
  EXPECT_FALSE(b.InsertIp("172.15.0.1"));
  EXPECT_FALSE(c.InsertIp("192.169.0.1"));
  EXPECT_FALSE(a.InsertIp("10.0.0"));
  EXPECT_FALSE(a.InsertIp("10.0.0.256"));
  EXPECT_FALSE(a.InsertIp("10.0.0.1 "));
  EXPECT_FALSE(a.InsertPort(7386));
  EXPECT_FALSE(idle.InsertIp("10.0.0.1"));
}

}  // namespace
