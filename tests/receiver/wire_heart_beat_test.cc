#include "tests/receiver/wire_heart_beat.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace receiver::wire {
namespace {

using Datagram = std::array<uint8_t, kHeartBeatSize>;

TEST(WireHeartBeat, EncodesTheLayoutByteForByte) {
  // seq_num big-endian, invert big-endian, version little-endian.
  const Datagram first = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                          0xFF, 0xFF, 0xFF, 0xFE, 0x05, 0x00, 0x00, 0x00};
  EXPECT_EQ(EncodeHeartBeat(MakeHeartBeat(1)), first);
  // Only the low 32 bits are inverted: ~0x00000002 = 0xFFFFFFFD.
  const Datagram wide = {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02,
                         0xFF, 0xFF, 0xFF, 0xFD, 0x05, 0x00, 0x00, 0x00};
  EXPECT_EQ(EncodeHeartBeat(MakeHeartBeat(0x100000002ull)), wide);
}

TEST(WireHeartBeat, DecodesTheLayout) {
  const Datagram bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                          0xFA, 0xF9, 0xF8, 0xF7, 0xF7, 0x01, 0x00, 0x00};
  HeartBeat beat;
  ASSERT_TRUE(DecodeHeartBeat(bytes.data(), bytes.size(), &beat));
  EXPECT_EQ(beat.seq_num, 0x0102030405060708ull);
  EXPECT_EQ(beat.invert_seq_num, 0xFAF9F8F7u);  // ~0x05060708, the low word
  EXPECT_EQ(beat.version, 503u);                // F7 01 00 00 read little-endian
  EXPECT_TRUE(IsLegalHeartBeat(beat));
}

TEST(WireHeartBeat, OnlyExactlySixteenBytesDecode) {
  const Datagram good = EncodeHeartBeat(MakeHeartBeat(3));
  HeartBeat beat;
  for (size_t size : {size_t{0}, size_t{15}, size_t{17}}) {
    // An exact-size heap copy lets the address sanitizer catch any read past the end.
    auto copy = std::make_unique<uint8_t[]>(size + 1);
    std::memcpy(copy.get(), good.data(), size < 16 ? size : 16);
    EXPECT_FALSE(DecodeHeartBeat(copy.get(), size, &beat)) << size;
  }
  EXPECT_FALSE(DecodeHeartBeat(nullptr, 16, &beat));
  EXPECT_TRUE(DecodeHeartBeat(good.data(), good.size(), &beat));
}

struct BeatCase {
  const char* name;
  uint64_t seq_num;
  uint32_t invert_seq_num;
  uint32_t version;
  bool legal;
};

TEST(WireHeartBeat, LegalityTable) {
  const BeatCase cases[] = {
      {"v5 inverted", 1, ~1u, 5, true},
      {"v5 not inverted", 1, 1, 5, false},
      {"v5 low word only", 0x100000002ull, 0xFFFFFFFDu, 5, true},
      {"v504 inverted", 7, ~7u, 504, true},
      {"v505 not inverted", 7, 0, 505, false},
      {"version 0", 1, ~1u, 0, false},
      {"version 0 invert 0", 1, 0, 0, false},
      {"v7 invert 0", 1, 0, 7, true},
      {"v7 invert set", 1, ~1u, 7, false},
  };
  for (const auto& c : cases) {
    HeartBeat beat;
    beat.seq_num = c.seq_num;
    beat.invert_seq_num = c.invert_seq_num;
    beat.version = c.version;
    EXPECT_EQ(IsLegalHeartBeat(beat), c.legal) << c.name;
  }
}

TEST(WireHeartBeat, ZeroVersionBytesAreIllegal) {
  const Datagram bytes = {0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 0};
  HeartBeat beat;
  ASSERT_TRUE(DecodeHeartBeat(bytes.data(), bytes.size(), &beat));
  EXPECT_FALSE(IsLegalHeartBeat(beat));
}

TEST(WireHeartBeat, BigEndianVersionBytesAreNotVersionFive) {
  // 00 00 00 05 read little-endian is 0x05000000: outside {5, 503, 504, 505}, so a
  // datagram with a correctly inverted sequence number is illegal.
  const Datagram bytes = {0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 5};
  HeartBeat beat;
  ASSERT_TRUE(DecodeHeartBeat(bytes.data(), bytes.size(), &beat));
  EXPECT_EQ(beat.version, 0x05000000u);
  EXPECT_FALSE(IsLegalHeartBeat(beat));
}

}  // namespace
}  // namespace receiver::wire
