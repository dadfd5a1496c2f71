#include "services/media_link/video_packet.h"

#include <vector>

#include <gtest/gtest.h>

#include "services/media_link/command_sender.h"

namespace crcp::video {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VideoPacketTest, CommandWithBodyHasTheGoldenLayout) {
  // Command 256 with the body "{}".
  const Bytes expected = {
      0x00, 0x00, 0x01, 0x00,                          // type: command id 256
      0x00, 0x00, 0x00, 0x02,                          // length: 2 body bytes
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // stamp: 0
      0x7B, 0x7D,                                      // "{}"
  };
  EXPECT_EQ(SendPacket(256, "{}"), expected);
  EXPECT_EQ(MakeVideoPacket(256, 0, Bytes{'{', '}'})->Serialize(), expected);
}

TEST(VideoPacketTest, StampIsSentMostSignificantByteFirst) {
  const auto packet = MakeVideoPacket(0, (uint64_t{1} << 56) | 2, Bytes{0xAA});
  const Bytes expected = {
      0x00, 0x00, 0x00, 0x00,                          // type 0: video data
      0x00, 0x00, 0x00, 0x01,                          // length 1
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,  // upper half, lower half
      0xAA,
  };
  EXPECT_EQ(packet->Serialize(), expected);
  const uint8_t body = 0xAA;
  EXPECT_EQ(SerializeVideoPacket(0, (uint64_t{1} << 56) | 2, &body, 1), expected);
}

TEST(VideoPacketTest, EmptyBodyIsExactlyTheHeader) {
  const Bytes expected = {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(SendPacket(2, ""), expected);
  EXPECT_EQ(MakeEmptyVideoPacket()->Serialize(), Bytes(16, 0));
}

TEST(VideoPacketTest, IncompletePacketSerialisesToNothing) {
  auto packet = MakeVideoPacket(1, 0, Bytes{1, 2, 3});
  packet->length = 4;
  EXPECT_FALSE(packet->IsComplete());
  EXPECT_TRUE(packet->Serialize().empty());
  packet->length = 2;
  EXPECT_TRUE(packet->Serialize().empty());
}

TEST(VideoPacketTest, SixteenBitIdIsStoredZeroExtended) {
  const auto packet = MakeVideoPacket(uint16_t{0xFFFF}, 0, {});
  EXPECT_EQ(packet->type, 0x0000FFFFu);
  EXPECT_EQ(packet->length, 0u);
}

TEST(VideoPacketTest, ParseReadsTheHeaderAndChecksOnlyTheSize) {
  const Bytes wire = {
      0x12, 0x34, 0x56, 0x78,                          // type
      0xFF, 0xFF, 0xFF, 0xFF,                          // length, however large
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // stamp
      0x99,                                            // body byte, not looked at
  };
  VideoPacket packet;
  EXPECT_FALSE(ParseVideoPacketHeader(wire.data(), 15, &packet));
  EXPECT_FALSE(ParseVideoPacketHeader(nullptr, 16, &packet));
  ASSERT_TRUE(ParseVideoPacketHeader(wire.data(), 16, &packet));
  EXPECT_EQ(packet.type, 0x12345678u);
  EXPECT_EQ(packet.length, 0xFFFFFFFFu);
  EXPECT_EQ(packet.stamp, 0x0102030405060708u);
  EXPECT_TRUE(packet.payload.empty());
  EXPECT_TRUE(ParseVideoPacketHeader(wire.data(), wire.size(), &packet));
}

TEST(VideoPacketTest, RoundTripThroughTheHeader) {
  const auto sent = MakeVideoPacket(0x5100, 0xDEADBEEFCAFEF00Du, Bytes{'x', 'y', 'z'});
  const Bytes wire = sent->Serialize();
  VideoPacket got;
  ASSERT_TRUE(ParseVideoPacketHeader(wire.data(), wire.size(), &got));
  got.payload.assign(wire.begin() + kVideoPacketHeaderSize, wire.end());
  EXPECT_EQ(got.type, sent->type);
  EXPECT_EQ(got.stamp, sent->stamp);
  EXPECT_TRUE(got.IsComplete());
  EXPECT_EQ(got.payload, sent->payload);
}

TEST(VideoPacketTest, MoveKeepsTheHeaderAndTakesThePayload) {
  VideoPacket filled;
  filled.type = 7;
  filled.length = 2;
  filled.stamp = 9;
  filled.payload = {1, 2};
  VideoPacket fresh;
  fresh = std::move(filled);
  EXPECT_EQ(fresh.type, 7u);
  EXPECT_EQ(fresh.length, 2u);
  EXPECT_EQ(fresh.stamp, 9u);
  EXPECT_EQ(fresh.payload, (Bytes{1, 2}));
}

}  // namespace
}  // namespace crcp::video
