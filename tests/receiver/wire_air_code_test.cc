#include "tests/receiver/wire_air_code.h"

#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "client/air_code.h"

namespace receiver::wire {
namespace {

struct GoldenCode {
  const char* address;
  uint16_t port;
  unsigned rotation_index;
  const char* code;       // plain digits
  const char* displayed;  // as the entry types it
};

// Worked by hand from the bytes B0..B4 read as eight 5-bit groups:
//   127.0.0.1 rotated left 28 = 17 F0 00 00; B0 = 001 00 000 = 20
//     20 17 F0 00 00 = 00100 00000 01011 11111 00000 00000 00000 00000 = 4 0 B V 0 0 0 0
//   127.0.0.1 rotated left 12 = 00 00 17 F0; B0 = 000 00 000 = 00
//     00 00 00 17 F0 = 0 0 0 0 0 5 V G
//   192.168.1.23 rotated by 32 = C0 A8 01 17; B0 = 011 11 111 (check = 17 & 7) = 7F
//     7F C0 A8 01 17 = 01111 11111 00000 01010 10000 00000 01000 10111 = F V 0 A G 0 8 N
const GoldenCode kGolden[] = {
    {"127.0.0.1", 7382, 1, "40BV0000", "4WBVWWWW"},
    {"127.0.0.1", 7382, 0, "000005VG", "WWWWW5VG"},
    {"192.168.1.23", 7385, 3, "FV0AG08N", "FVWAGW8N"},
};

TEST(WireAirCode, EncodesTheGoldenCodes) {
  for (const auto& c : kGolden) {
    const auto code = EncodeLongAirCode(c.address, c.port, c.rotation_index);
    ASSERT_TRUE(code) << c.address;
    EXPECT_EQ(*code, c.code) << c.address << " rotation " << c.rotation_index;
    EXPECT_EQ(ToDisplayedAirCode(*code), c.displayed);
  }
}

TEST(WireAirCode, DecodesTheGoldenCodesInEveryForm) {
  for (const auto& c : kGolden) {
    std::string lower = c.displayed;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const std::string& form : {std::string(c.code), std::string(c.displayed), lower}) {
      const auto decoded = DecodeLongAirCode(form);
      ASSERT_TRUE(decoded) << form;
      EXPECT_EQ(DottedAddress(decoded->address), c.address) << form;
      EXPECT_EQ(decoded->port, c.port) << form;
      EXPECT_EQ(decoded->rotation_index, c.rotation_index) << form;
    }
  }
}

TEST(WireAirCode, RefusesWhatNoCodeCarries) {
  EXPECT_FALSE(EncodeLongAirCode("127.0.0.1", 7386, 0));  // no port index
  EXPECT_FALSE(EncodeLongAirCode("127.0.0.1", 7381, 0));
  EXPECT_FALSE(EncodeLongAirCode("127.0.0.1", 7382, 8));  // no rotation index
  for (const char* bad : {"", "127.0.0", "127.0.0.1.", "256.0.0.1", "1.2.3.4x", "1..2.3", "a.b.c.d"}) {
    EXPECT_FALSE(EncodeLongAirCode(bad, 7382, 0)) << bad;
  }
  EXPECT_FALSE(DecodeLongAirCode("40BV000"));    // 7 characters
  EXPECT_FALSE(DecodeLongAirCode("40BV00000"));  // 9 characters
  EXPECT_FALSE(DecodeLongAirCode("40BV-000"));   // outside the alphabet
  EXPECT_FALSE(DecodeLongAirCode("40BV0001"));   // check bits 000 against B4's 001
}

// The client's own decoder reads every code this encoder writes, in both forms, and
// the displayed form uses only what the client's entry can type.
TEST(WireAirCode, TheClientDecodesEveryCode) {
  const char* const addresses[] = {"127.0.0.1", "10.0.0.5", "172.16.40.2", "192.168.1.23",
                                   "0.0.0.0", "255.255.255.255", "100.64.7.129"};
  for (const char* address : addresses) {
    for (uint16_t port : kAirCodePorts) {
      for (unsigned rotation = 0; rotation < kAirCodeRotationEntries.size(); ++rotation) {
        const auto code = EncodeLongAirCode(address, port, rotation);
        ASSERT_TRUE(code);
        const std::string displayed = ToDisplayedAirCode(*code);
        for (char ch : displayed) {
          const bool typable = (ch >= '2' && ch <= '9') || (ch >= 'A' && ch <= 'Z' && ch != 'I' && ch != 'O');
          EXPECT_TRUE(typable) << displayed;
        }
        for (const std::string& form : {*code, displayed}) {
          EXPECT_TRUE(IsValidAirCode(form)) << form;
          const auto [ip, parsed_port] = ParseAirCode(form);
          EXPECT_EQ(ip, address) << form;
          EXPECT_EQ(parsed_port, port) << form;
        }
      }
    }
  }
}

}  // namespace
}  // namespace receiver::wire
