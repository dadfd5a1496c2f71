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

  const auto h = DecodeMediaHeader(expected.data(), expected.size());
  ASSERT_TRUE(h);
  EXPECT_EQ(h->type, 101u);
  EXPECT_EQ(h->length, 31u);
  EXPECT_EQ(h->stamp, 0u);
  EXPECT_FALSE(DecodeMediaHeader(expected.data(), 15));
  EXPECT_FALSE(DecodeMediaHeader(nullptr, 16));
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

TEST(WireMediaPacket, CommandLayout) {
  const std::string body = R"({"keepAspectRatio":true})";
  const auto bytes = EncodeMediaCommand(0x0004, std::vector<uint8_t>(body.begin(), body.end()));
  const std::vector<uint8_t> header = {
      0x00, 0x00, 0x00, 0x04,                          // type: command 4
      0x00, 0x00, 0x00, 0x18,                          // length: 24 body bytes
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // stamp 0
  };
  ASSERT_EQ(bytes.size(), 16u + 24u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16), header);
  EXPECT_EQ(std::string(bytes.begin() + 16, bytes.end()), body);
}

TEST(WireMediaPacket, DataHeaderDecodes) {
  const uint8_t bytes[] = {
      0x00, 0x00, 0x00, 0x00,                          // type 0: a sample
      0x00, 0x01, 0x00, 0x02,                          // 65538 body bytes
      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // stamp, upper half first
  };
  const auto header = DecodeMediaHeader(bytes, sizeof bytes);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->type, 0u);
  EXPECT_EQ(header->length, 65538u);
  EXPECT_EQ(header->stamp, 0x0102030405060708ull);
  EXPECT_FALSE(DecodeMediaHeader(bytes, 15));
  EXPECT_EQ(EncodeMediaPacket(*header, nullptr, 0), std::vector<uint8_t>(bytes, bytes + 16));
}

}  // namespace
}  // namespace receiver::wire
