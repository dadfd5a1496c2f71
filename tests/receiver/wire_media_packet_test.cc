#include "tests/receiver/wire_media_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace receiver::wire {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(WireMediaPacketTest, CommandPacketLayout) {
  // A start answer: type 101, length 31, stamp 0, then the JSON text.
  const std::string body = R"({"repeatSend":1,"resultType":0})";
  Bytes expected = {0x00, 0x00, 0x00, 0x65, 0x00, 0x00, 0x00, 0x1F,
                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  expected.insert(expected.end(), body.begin(), body.end());
  EXPECT_EQ(EncodeMediaPacket(101, body), expected);

  MediaHeader h;
  ASSERT_TRUE(DecodeMediaHeader(expected.data(), expected.size(), &h));
  EXPECT_EQ(h.type, 101u);
  EXPECT_EQ(h.length, 31u);
  EXPECT_EQ(h.stamp, 0u);
  EXPECT_FALSE(DecodeMediaHeader(expected.data(), 15, &h));
  EXPECT_FALSE(DecodeMediaHeader(nullptr, 16, &h));
}

TEST(WireMediaPacketTest, StampIsBigEndianUpperHalfFirst) {
  const Bytes bytes = EncodeMediaPacket(0, "", (uint64_t{1} << 56) | 2);
  EXPECT_EQ(bytes, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x02}));
}

struct DatagramCase {
  const char* name;
  Bytes bytes;
  bool ok;
};

class AudioDatagramTest : public ::testing::TestWithParam<DatagramCase> {};

TEST_P(AudioDatagramTest, DecodesStrictly) {
  const DatagramCase& c = GetParam();
  AudioDatagram d;
  std::string error;
  EXPECT_EQ(DecodeAudioDatagram(c.bytes.data(), c.bytes.size(), &d, &error), c.ok) << error;
  if (c.ok) {
    EXPECT_EQ(d.header.type, 0x01020304u);
    EXPECT_EQ(d.opus_size, c.bytes.size() - 16);
  } else {
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, AudioDatagramTest,
    ::testing::Values(
        //                        sequence        length          stamp                   body
        DatagramCase{"ThreeBytes", {1, 2, 3, 4, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9}, true},
        DatagramCase{"Empty", {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        DatagramCase{"LengthTooLong", {1, 2, 3, 4, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9}, false},
        DatagramCase{"LengthTooShort", {1, 2, 3, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9}, false},
        DatagramCase{"StampSet", {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, false},
        DatagramCase{"ShortHeader", {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false}),
    [](const ::testing::TestParamInfo<DatagramCase>& p) { return p.param.name; });

TEST(AudioDatagramTest, OpusPacketsAboveTheEncodersLimitAreRefused) {
  Bytes bytes = EncodeMediaPacket(0, std::string(1025, 'x'));
  AudioDatagram d;
  std::string error;
  EXPECT_FALSE(DecodeAudioDatagram(bytes.data(), bytes.size(), &d, &error));
  bytes = EncodeMediaPacket(0, std::string(1024, 'x'));
  EXPECT_TRUE(DecodeAudioDatagram(bytes.data(), bytes.size(), &d, &error)) << error;
}

}  // namespace
}  // namespace receiver::wire
