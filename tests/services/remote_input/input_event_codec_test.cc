#include "services/remote_input/input_event_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/log_capture.h"

namespace crcp::ril {
namespace {

// ABS_MT_SLOT 0 at 1000 s + 2 us, then the value -1 (a released tracking id).
const std::vector<uint8_t> kTwoEvents = {
    0x01, 0xFE, 0x00, 0x20,                          // type 1, its complement, 32 bytes
    0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x02,  // sec 1000, usec 2
    0x00, 0x03, 0x00, 0x2F, 0x00, 0x00, 0x00, 0x00,  // EV_ABS, ABS_MT_SLOT, 0
    0x00, 0x00, 0x03, 0xE9, 0x00, 0x00, 0x00, 0x00,  // sec 1001, usec 0
    0x00, 0x03, 0x00, 0x39, 0xFF, 0xFF, 0xFF, 0xFF,  // EV_ABS, ABS_MT_TRACKING_ID, -1
};

TEST(InputEventCodec, DecodesGoldenDatagramAndEncodesItBack) {
  std::vector<InputEvent> events;
  ASSERT_TRUE(Deserialize(kTwoEvents.data(), kTwoEvents.size(), events));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], (InputEvent{1000, 2, 3, 47, 0}));
  EXPECT_EQ(events[1], (InputEvent{1001, 0, 3, 57, -1}));
  EXPECT_EQ(Serialize(events, 1), kTwoEvents);
}

struct DatagramCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool accepted;
  size_t events;
  const char* log;  // a piece of the log line it leaves, or empty
};

std::vector<uint8_t> Datagram(std::vector<uint8_t> head, size_t body_bytes, uint32_t sec = 7) {
  for (size_t i = 0; i < body_bytes; ++i)
    head.push_back(i % 16 == 3 ? static_cast<uint8_t>(sec) : 0);  // low byte of sec
  return head;
}

TEST(InputEventCodec, DatagramTable) {
  const std::vector<DatagramCase> cases = {
      {"empty", {}, false, 0, "input evnet packet header: "},
      {"three bytes", {0x00, 0xFF, 0x00}, false, 0, "input evnet packet header: 00 FF 00 "},
      {"empty payload", {0x00, 0xFF, 0x00, 0x00}, true, 0, ""},
      {"type 2", {0x02, 0xFD, 0x00, 0x00}, false, 0, "UnPackData packet_type unsupport"},
      {"not complemented", {0x01, 0x01, 0x00, 0x00}, false, 0, "UnPackData packet_type error 01  01 "},
      {"40 of 44 bytes", Datagram({0x00, 0xFF, 0x00, 40}, 40), true, 2, ""},
      {"trailing bytes", Datagram({0x00, 0xFF, 0x00, 16}, 20), true, 1, ""},
      {"incomplete", Datagram({0x00, 0xFF, 0x00, 32}, 31), false, 0, "maybe a incomplete packet"},
      {"sec 0", Datagram({0x00, 0xFF, 0x00, 16}, 16, 0), false, 0, "illegal input event: sec [0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::ScopedLogCapture log;
    std::vector<InputEvent> events(5);
    EXPECT_EQ(Deserialize(c.bytes.data(), c.bytes.size(), events), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(events.size(), c.events);
    }
    if (*c.log) {
      EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    }
  }
}

TEST(InputEventCodec, RefusedHeaderLogsItsTextForm) {
  testing_support::ScopedLogCapture log;
  const uint8_t bytes[] = {0x02, 0xFD, 0x01, 0x00};
  std::vector<InputEvent> events;
  EXPECT_FALSE(Deserialize(bytes, sizeof bytes, events));
  EXPECT_EQ(log.Count("warning "), 1u);
  EXPECT_TRUE(log.Contains(
      "Received a illegal input evnet packet header: packet_type: [02 ], "
      "invert_packet_type: [FD ], payload_size: [256]"))
      << log.Text();
}

TEST(InputEventCodec, SecZeroAnywhereRefusesWholeDatagram) {
  std::vector<InputEvent> events = {{5, 0, 3, 53, 100}, {6, 0, 3, 54, 200}, {0, 1, 0, 0, 0}};
  std::vector<uint8_t> bytes = Serialize(events);
  std::vector<InputEvent> out;
  EXPECT_FALSE(Deserialize(bytes.data(), bytes.size(), out));
  EXPECT_TRUE(out.empty());
}

TEST(InputEventCodec, ShortEventAndNullAreRefused) {
  InputEvent event;
  const uint8_t bytes[15] = {0, 0, 0, 1};
  EXPECT_FALSE(DeserializeEvent(bytes, sizeof bytes, event));
  EXPECT_FALSE(DeserializeEvent(nullptr, 16, event));
  InputPacketHeader header;
  EXPECT_FALSE(DeserializeHeader(nullptr, 4, header));
}

TEST(InputEventCodec, TextForms) {
  EXPECT_EQ(ToString(InputEvent{1, 2, 3, 47, -1}),
            "sec [1] , usec [2] , type [3] , code [47] , value [-1]");
  const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
  EXPECT_EQ(HexDump(bytes, 3), "0A FF 00 ");
  EXPECT_EQ(HexDump(bytes, 0), "");
}

}  // namespace
}  // namespace crcp::ril
