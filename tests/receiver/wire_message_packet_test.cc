#include "tests/receiver/wire_message_packet.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace receiver::wire {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// Sequence 1, a 10-byte body, timestamp 0x0102030405060708.
const std::vector<uint8_t> kHeaderSeq1Len10 = Bytes({
    0x00, 0x00, 0x00, 0x01,                          // sequence_num 1
    0x00, 0x00, 0x00, 0x0A,                          // len 10
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // timestamp
    0x00, 0x00, 0x00, 0x05,                          // version 5
    0xFF, 0xFF, 0xFF, 0xFE,                          // invert_seq_num = ~1
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                    // reserved, 40 zero bytes
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
});

TEST(WireMessagePacket, EncodesTheLayoutByteForByte) {
  auto header = MakeMessageHeader(1, 10, 0x0102030405060708ull);
  auto packet = EncodeMessagePacket(header, std::string("0123456789"));
  ASSERT_EQ(packet.size(), 74u);
  std::vector<uint8_t> expected = kHeaderSeq1Len10;
  for (char c : std::string("0123456789")) expected.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(packet, expected);
}

TEST(WireMessagePacket, DecodesTheLayoutAndKeepsReservedBytes) {
  std::vector<uint8_t> bytes = kHeaderSeq1Len10;
  bytes[24] = 0xAB;  // reserved bytes are copied as received
  bytes[63] = 0xCD;
  MessageHeader header;
  ASSERT_TRUE(DecodeMessageHeader(bytes.data(), bytes.size(), &header));
  EXPECT_EQ(header.sequence_num, 1u);
  EXPECT_EQ(header.len, 10u);
  EXPECT_EQ(header.timestamp, 0x0102030405060708ull);
  EXPECT_EQ(header.version, 5u);
  EXPECT_EQ(header.invert_seq_num, 0xFFFFFFFEu);
  EXPECT_EQ(header.reserved[0], 0xAB);
  EXPECT_EQ(header.reserved[39], 0xCD);
  EXPECT_TRUE(IsLegalMessageHeader(header));
}

TEST(WireMessagePacket, BigEndianFieldsKeepEveryByteInPlace) {
  MessageHeader header = MakeMessageHeader(0x11223344u, 0x55667788u, 0x99AABBCCDDEEFF01ull);
  header.version = 0x0A0B0C0Du;
  header.invert_seq_num = 0x01020304u;
  auto packet = EncodeMessagePacket(header, std::string());
  EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + 24),
            Bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
                   0xDD, 0xEE, 0xFF, 0x01, 0x0A, 0x0B, 0x0C, 0x0D, 0x01, 0x02, 0x03, 0x04}));
  MessageHeader back;
  ASSERT_TRUE(DecodeMessageHeader(packet.data(), packet.size(), &back));
  EXPECT_EQ(back.sequence_num, header.sequence_num);
  EXPECT_EQ(back.len, header.len);
  EXPECT_EQ(back.timestamp, header.timestamp);
  EXPECT_EQ(back.version, header.version);
  EXPECT_EQ(back.invert_seq_num, header.invert_seq_num);
}

TEST(WireMessagePacket, ShortBufferIsRejectedWithoutReadingPastIt) {
  // An exact-size heap copy lets the address sanitizer catch any read past the end.
  auto short_copy = std::make_unique<uint8_t[]>(63);
  std::memcpy(short_copy.get(), kHeaderSeq1Len10.data(), 63);
  MessageHeader header;
  EXPECT_FALSE(DecodeMessageHeader(short_copy.get(), 63, &header));
  EXPECT_FALSE(DecodeMessageHeader(nullptr, 64, &header));
  EXPECT_FALSE(DecodeMessageHeader(short_copy.get(), 0, &header));
}

struct LegalityCase {
  const char* name;
  uint32_t version;
  uint32_t sequence_num;
  uint32_t invert_seq_num;
  uint64_t timestamp;
  uint32_t len;
  bool legal;
};

TEST(WireMessagePacket, HeaderLegalityTable) {
  const LegalityCase cases[] = {
      {"v5 inverted", 5, 1, ~1u, 100, 10, true},
      {"v5 not inverted", 5, 1, 1, 100, 10, false},
      {"v5 zero invert", 5, 1, 0, 100, 10, false},
      {"v5 empty packet", 5, 0, 0xFFFFFFFFu, 0, 0, true},
      {"v5 len 0", 5, 3, ~3u, 100, 0, true},
      {"v503 inverted", 503, 9, ~9u, 0, 0, true},
      {"v504 inverted", 504, 7, ~7u, 0, 0, true},
      {"v504 not inverted", 504, 7, 7, 100, 10, false},
      {"v505 not inverted", 505, 7, 0, 100, 10, false},
      {"v7 all non-zero", 7, 1, 12345, 100, 10, true},
      {"v7 timestamp 0", 7, 1, ~1u, 0, 10, false},
      {"v7 sequence 0", 7, 0, ~0u, 100, 10, false},
      {"v7 len 0", 7, 1, ~1u, 100, 0, false},
      {"v0 all non-zero", 0, 1, 0, 1, 1, true},
      {"v506 all non-zero", 506, 2, 2, 1, 1, true},
  };
  for (const auto& c : cases) {
    MessageHeader header;
    header.version = c.version;
    header.sequence_num = c.sequence_num;
    header.invert_seq_num = c.invert_seq_num;
    header.timestamp = c.timestamp;
    header.len = c.len;
    EXPECT_EQ(IsLegalMessageHeader(header), c.legal) << c.name;
  }
}

}  // namespace
}  // namespace receiver::wire
