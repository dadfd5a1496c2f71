#include "tests/receiver/wire_input_event.h"

#include <gtest/gtest.h>

#include <vector>

namespace receiver::wire {
namespace {

TEST(WireInputEvent, DatagramLayout) {
  const auto bytes =
      EncodeInputDatagram({{0x01020304, 0x0A0B0C0D, input::kEvAbs, input::kAbsMtTrackingId, -1},
                           {7, 0, input::kEvSyn, input::kSynReport, 0x12345678}});
  ASSERT_TRUE(bytes);
  const std::vector<uint8_t> expected = {
      0x00, 0xFF, 0x00, 0x20,                          // type 0, its complement, 32 bytes
      0x01, 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D,  // sec, usec
      0x00, 0x03, 0x00, 0x39, 0xFF, 0xFF, 0xFF, 0xFF,  // EV_ABS, ABS_MT_TRACKING_ID, -1
      0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00,  // sec 7, usec 0
      0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78,  // EV_SYN, SYN_REPORT, value
  };
  EXPECT_EQ(*bytes, expected);
  const auto back = DecodeInputDatagram(bytes->data(), bytes->size());
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].value, -1);
  EXPECT_EQ((*back)[1].value, 0x12345678);
}

TEST(WireInputEvent, TypeOneEmptyAndBounds) {
  EXPECT_EQ(*EncodeInputDatagram({}, 1), (std::vector<uint8_t>{0x01, 0xFE, 0x00, 0x00}));
  EXPECT_TRUE(EncodeInputDatagram(std::vector<TouchEvent>(93)));
  EXPECT_FALSE(EncodeInputDatagram(std::vector<TouchEvent>(94)));  // beyond 1500 bytes
  const std::vector<uint8_t> short_payload = {0x00, 0xFF, 0x00, 0x10, 0x00};
  EXPECT_FALSE(DecodeInputDatagram(short_payload.data(), short_payload.size()));
  const std::vector<uint8_t> bad_type = {0x02, 0xFD, 0x00, 0x00};
  EXPECT_FALSE(DecodeInputDatagram(bad_type.data(), bad_type.size()));
  EXPECT_FALSE(DecodeInputDatagram(nullptr, 0));
}

TEST(WireInputEvent, TouchFrameIsProtocolB) {
  const auto frame = TouchFrame({{0, 5, 1000, 600}, {1, -1, 0, 0}}, 10, 1);
  const std::vector<std::pair<uint16_t, int32_t>> expected = {
      {input::kAbsMtSlot, 0},        {input::kAbsMtTrackingId, 5}, {input::kAbsMtPositionX, 1000},
      {input::kAbsMtPositionY, 600}, {input::kAbsMtSlot, 1},       {input::kAbsMtTrackingId, -1},
      {input::kSynReport, 0}};
  ASSERT_EQ(frame.size(), expected.size());
  for (size_t i = 0; i < frame.size(); ++i) {
    EXPECT_EQ(frame[i].code, expected[i].first) << i;
    EXPECT_EQ(frame[i].value, expected[i].second) << i;
    EXPECT_EQ(frame[i].sec, 10u);
  }
  EXPECT_EQ(frame.back().type, input::kEvSyn);
}

}  // namespace
}  // namespace receiver::wire
