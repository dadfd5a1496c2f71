#include "tests/receiver/wire_media_packet.h"

#include <gtest/gtest.h>

#include <string>

namespace receiver::wire {
namespace {

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
