#include "crcp/message_packet.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crcp/byte_order.h"
#include "crcp/version.h"

namespace crcp {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(MessagePacketTest, SerialisesTheGoldenLayout) {
  MessagePacket packet(1, Bytes("0123456789"));
  packet.timestamp = 0x0102030405060708ull;  // fixed for the golden bytes
  std::vector<uint8_t> expected = {
      0x00, 0x00, 0x00, 0x01,                          // sequence_num 1
      0x00, 0x00, 0x00, 0x0A,                          // len 10
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // timestamp
      0x00, 0x00, 0x00, 0x05,                          // version 5
      0xFF, 0xFF, 0xFF, 0xFE,                          // ~1
  };
  expected.resize(64, 0x00);  // 40 reserved zero bytes
  for (char c : std::string("0123456789")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(MessagePacket::Serialize(packet), expected);
}

TEST(MessagePacketTest, HeaderRoundTripKeepsReservedBytesAsReceived) {
  std::vector<uint8_t> wire(64, 0);
  const uint8_t header[] = {0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x03,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x39,
                            0x00, 0x00, 0x00, 0x05, 0xFF, 0xFF, 0xFE, 0xFD};
  std::copy(std::begin(header), std::end(header), wire.begin());
  wire[40] = 0xAB;
  MessagePacket p;
  ASSERT_TRUE(MessagePacket::Deserialize(wire.data(), wire.size(), p));
  EXPECT_EQ(p.sequence_num, 0x0102u);
  EXPECT_EQ(p.len, 3u);
  EXPECT_EQ(p.timestamp, 12345u);
  EXPECT_EQ(p.version, 5u);
  EXPECT_EQ(p.invert_seq_num, 0xFFFFFEFDu);
  EXPECT_EQ(p.reserved[16], 0xAB);
}

TEST(MessagePacketTest, ShortOrNullBufferIsNoHeader) {
  std::vector<uint8_t> wire(63, 0);
  MessagePacket p;
  EXPECT_FALSE(MessagePacket::Deserialize(wire.data(), wire.size(), p));
  EXPECT_FALSE(MessagePacket::Deserialize(nullptr, 64, p));
}

struct LegalityCase {
  const char* what;
  uint32_t version, seq, invert, len;
  uint64_t timestamp;
  bool legal;
};

class MessagePacketLegality : public ::testing::TestWithParam<LegalityCase> {};

TEST_P(MessagePacketLegality, FollowsTheVersionRule) {
  const auto& c = GetParam();
  MessagePacket p;
  p.version = c.version;
  p.sequence_num = c.seq;
  p.invert_seq_num = c.invert;
  p.len = c.len;
  p.timestamp = c.timestamp;
  EXPECT_EQ(MessagePacket::IsLegalHeader(p), c.legal) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MessagePacketLegality,
    ::testing::Values(
        LegalityCase{"v5 inverted", 5, 7, ~7u, 10, 1, true},
        LegalityCase{"v5 bad invert", 5, 7, 7, 10, 1, false},
        LegalityCase{"v5 len 0 is fine", 5, 1, ~1u, 0, 1, true},
        LegalityCase{"v5 seq 0, ts 0", 5, 0, 0xFFFFFFFFu, 0, 0, true},
        LegalityCase{"v503", 503, 9, ~9u, 1, 1, true},
        LegalityCase{"v504 bad invert", 504, 9, 0, 1, 1, false},
        LegalityCase{"v505", 505, 2, ~2u, 0, 0, true},
        LegalityCase{"v7 anything non-zero", 7, 3, 12345, 4, 99, true},
        LegalityCase{"v7 len 0", 7, 3, ~3u, 0, 99, false},
        LegalityCase{"v7 seq 0", 7, 0, ~0u, 4, 99, false},
        LegalityCase{"v7 timestamp 0", 7, 3, ~3u, 4, 0, false},
        LegalityCase{"v0", 0, 3, ~3u, 4, 9, true}));

TEST(MessagePacketTest, WholePacketMustMatchItsLength) {
  MessagePacket empty;
  EXPECT_TRUE(MessagePacket::IsLegal(empty));
  EXPECT_EQ(MessagePacket::Serialize(empty).size(), 64u);

  MessagePacket p(4, Bytes("abc"));
  p.len = 4;
  EXPECT_TRUE(MessagePacket::IsLegalHeader(p));
  EXPECT_FALSE(MessagePacket::IsLegal(p));
  EXPECT_TRUE(MessagePacket::Serialize(p).empty());
}

TEST(MessagePacketTest, ToStringListsTheHeaderFields) {
  MessagePacket p(2, Bytes("x"));
  p.timestamp = 77;
  EXPECT_EQ(MessagePacket::ToString(p),
            "sequence_num: [2], len: [1], timestamp: [77], version: [5], invert_seq_num: "
            "[4294967293]");
}

TEST(VersionTest, ParsesTheBuiltInText) {
  const Version& v = GetVersion();
  EXPECT_EQ(v.letter, 'R');
  EXPECT_EQ(v.major, 5);
  EXPECT_EQ(v.minor, 5);
  EXPECT_EQ(v.patch, 8);
  EXPECT_EQ(v.build, 41);
  EXPECT_EQ(GetProtocolVersion(), 5);
  Version u = ParseVersion("U.0.0.0.0");
  EXPECT_EQ(u.letter, 'U');
  EXPECT_EQ(u.build, 0);
  Version wrap = ParseVersion("X.70000.1");  // wraps at 16 bits, missing numbers are 0
  EXPECT_EQ(wrap.major, static_cast<uint16_t>(70000));
  EXPECT_EQ(wrap.minor, 1);
  EXPECT_EQ(wrap.build, 0);
}

TEST(ByteOrderTest, SixtyFourBitConversionReversesBytesOnThisHost) {
  ASSERT_FALSE(IsBigEndian());
  EXPECT_EQ(HostToNet64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(NetToHost64(HostToNet64(0x1122334455667788ull)), 0x1122334455667788ull);
  EXPECT_EQ(HostToNet64(HostToNet64(42)), 42u);
}

}  // namespace
}  // namespace crcp
