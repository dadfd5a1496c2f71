#include "crcp/heart_beat_packet.h"

#include <vector>

#include <gtest/gtest.h>

namespace crcp {
namespace {

TEST(HeartBeatPacketTest, SerialisesTheGoldenLayoutWithLittleEndianVersion) {
  std::vector<uint8_t> expected = {
      0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02,  // seq_num, big-endian
      0xFF, 0xFF, 0xFF, 0xFD,                          // ~2 of the low 32 bits
      0x05, 0x00, 0x00, 0x00,                          // version 5, little-endian
  };
  HeartBeatPacket p(0x100000002ull);
  EXPECT_EQ(p.invert_seq_num, 0xFFFFFFFDu);
  EXPECT_EQ(HeartBeatPacket::Serialize(p), expected);

  HeartBeatPacket back;
  ASSERT_TRUE(HeartBeatPacket::Deserialize(expected.data(), expected.size(), back));
  EXPECT_EQ(back.seq_num, 0x100000002ull);
  EXPECT_EQ(back.invert_seq_num, 0xFFFFFFFDu);
  EXPECT_EQ(back.version, 5u);
}

struct DatagramCase {
  const char* what;
  std::vector<uint8_t> bytes;
  bool accepted;
};

class HeartBeatDatagrams : public ::testing::TestWithParam<DatagramCase> {};

TEST_P(HeartBeatDatagrams, AreJudged) {
  const auto& c = GetParam();
  HeartBeatPacket out;
  EXPECT_EQ(HeartBeatPacket::Deserialize(c.bytes.data(), c.bytes.size(), out), c.accepted)
      << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeartBeatDatagrams,
    ::testing::Values(
        DatagramCase{"legal v5", {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 5, 0, 0, 0}, true},
        DatagramCase{"15 bytes", {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 5, 0, 0}, false},
        DatagramCase{"17 bytes",
                     {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 5, 0, 0, 0, 0},
                     false},
        DatagramCase{"empty", {}, false},
        DatagramCase{"version 0", {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 0, 0, 0, 0}, false},
        DatagramCase{"v5 bad invert", {0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 5, 0, 0, 0}, false},
        DatagramCase{"v504 little-endian",
                     {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 0xF8, 0x01, 0, 0},
                     true},
        DatagramCase{"big-endian 5 reads as another version, needs invert 0",
                     {0, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xF8, 0, 0, 0, 5},
                     false},
        DatagramCase{"other version with invert 0",
                     {0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 5},
                     true}));

TEST(HeartBeatPacketTest, IllegalPacketIsNotSerialised) {
  HeartBeatPacket p(3);
  p.invert_seq_num = 0;
  EXPECT_TRUE(HeartBeatPacket::Serialize(p).empty());
  EXPECT_EQ(HeartBeatPacket::ToString(HeartBeatPacket(1)),
            "seq_num: [1], invert_seq_num: [4294967294], version: [5]");
}

}  // namespace
}  // namespace crcp
