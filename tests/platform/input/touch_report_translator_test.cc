#include "platform/input/touch_report_translator.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <vector>

namespace platform::input {
namespace {

// A 65-byte report: id 0x40, 0x16, 0x01, two contacts of 10 bytes, the count byte.
std::vector<uint8_t> Report(std::vector<uint8_t> contacts, uint8_t count) {
  std::vector<uint8_t> r(65, 0);
  r[0] = 0x40;
  r[1] = 0x16;
  r[2] = 0x01;
  for (size_t i = 0; i < contacts.size() && i < 20; ++i) r[3 + i] = contacts[i];
  r[23] = count;
  return r;
}

// status, id, x lo/hi, y lo/hi, w 20, h 30
std::vector<uint8_t> Contact(uint8_t status, uint8_t id, uint16_t x, uint16_t y) {
  return {status, id, uint8_t(x), uint8_t(x >> 8), uint8_t(y), uint8_t(y >> 8), 20, 0, 30, 0};
}

std::vector<uint8_t> Two(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

using E = TouchInputEvent;

std::vector<E> Translate(TouchReportTranslator& t, const std::vector<uint8_t>& r) {
  return t.Translate(r.data(), r.size());
}

TEST(TouchReportTranslator, OneContactDownMoveUp) {
  TouchReportTranslator t;
  EXPECT_EQ(Translate(t, Report(Contact(7, 0, 500, 300), 1)),
            (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 0},
                            {EV_ABS, ABS_MT_TRACKING_ID, 0},
                            {EV_ABS, ABS_MT_POSITION_X, 500},
                            {EV_ABS, ABS_MT_POSITION_Y, 300},
                            {EV_KEY, BTN_TOUCH, 1},
                            {EV_ABS, ABS_X, 500},
                            {EV_ABS, ABS_Y, 300},
                            {EV_SYN, SYN_REPORT, 0}}));
  // Still touching: same tracking id, only the changed single-touch axis.
  EXPECT_EQ(Translate(t, Report(Contact(7, 0, 510, 300), 1)),
            (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 0},
                            {EV_ABS, ABS_MT_POSITION_X, 510},
                            {EV_ABS, ABS_MT_POSITION_Y, 300},
                            {EV_ABS, ABS_X, 510},
                            {EV_SYN, SYN_REPORT, 0}}));
  EXPECT_EQ(Translate(t, Report(Contact(4, 0, 510, 300), 1)),
            (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 0},
                            {EV_ABS, ABS_MT_TRACKING_ID, -1},
                            {EV_KEY, BTN_TOUCH, 0},
                            {EV_SYN, SYN_REPORT, 0}}));
  // The next touch gets a new tracking id.
  auto next = Translate(t, Report(Contact(7, 3, 1, 2), 1));
  ASSERT_GE(next.size(), 2u);
  EXPECT_EQ(next[1], (E{EV_ABS, ABS_MT_TRACKING_ID, 1}));
}

TEST(TouchReportTranslator, ThreeContactsInTwoReportsMakeOneFrame) {
  TouchReportTranslator t;
  auto first = Translate(t, Report(Two(Contact(7, 0, 10, 20), Contact(7, 1, 30, 40)), 3));
  EXPECT_EQ(first.size(), 8u);  // two contacts, no frame end yet
  EXPECT_NE(first.back(), (E{EV_SYN, SYN_REPORT, 0}));
  auto second = Translate(t, Report(Contact(7, 2, 50, 60), 0));
  EXPECT_EQ(second, (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 2},
                                    {EV_ABS, ABS_MT_TRACKING_ID, 2},
                                    {EV_ABS, ABS_MT_POSITION_X, 50},
                                    {EV_ABS, ABS_MT_POSITION_Y, 60},
                                    {EV_KEY, BTN_TOUCH, 1},
                                    {EV_ABS, ABS_X, 10},
                                    {EV_ABS, ABS_Y, 20},
                                    {EV_SYN, SYN_REPORT, 0}}));
}

TEST(TouchReportTranslator, NewFrameEndsOneThatWasCutShort) {
  TouchReportTranslator t;
  Translate(t, Report(Two(Contact(7, 0, 10, 20), Contact(7, 1, 30, 40)), 3));
  // The second report of that frame failed; the next frame starts.
  auto events = Translate(t, Report(Contact(7, 0, 11, 20), 1));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], (E{EV_KEY, BTN_TOUCH, 1}));
  EXPECT_EQ(events[3], (E{EV_SYN, SYN_REPORT, 0}));
  EXPECT_EQ(events.back(), (E{EV_SYN, SYN_REPORT, 0}));
}

TEST(TouchReportTranslator, RefusesWhatIsNotATouchReport) {
  TouchReportTranslator t;
  auto report = Report(Contact(7, 0, 1, 1), 1);
  EXPECT_TRUE(t.Translate(report.data(), 64).empty());
  report[0] = 0x41;
  EXPECT_TRUE(t.Translate(report.data(), report.size()).empty());
  EXPECT_TRUE(t.Translate(nullptr, 65).empty());
  // A release of a slot that never touched gives only the frame end.
  EXPECT_EQ(Translate(t, Report(Contact(4, 9, 1, 1), 1)), (std::vector<E>{{EV_SYN, SYN_REPORT, 0}}));
}

TEST(TouchReportTranslator, CoordinatesAreClampedToTheAxisRange) {
  TouchReportTranslator t;
  auto events = Translate(t, Report(Contact(7, 255, 0xFFFF, 40000), 1));
  EXPECT_EQ(events[0], (E{EV_ABS, ABS_MT_SLOT, 255}));
  EXPECT_EQ(events[2], (E{EV_ABS, ABS_MT_POSITION_X, 32767}));
  EXPECT_EQ(events[3], (E{EV_ABS, ABS_MT_POSITION_Y, 32767}));
}

// The device spans the whole desktop, the report the picture of one monitor: each
// position moves into that monitor's part of the device's range.
TEST(TouchReportTranslator, AreaMovesThePictureIntoTheSharedMonitor) {
  struct Case {
    const char* what;
    int32_t value;
    int offset, extent, desktop_extent;
    int32_t expected;
  };
  const Case cases[] = {
      {"right half, its middle", 16384, 1920, 1920, 3840, 24576},
      {"right half, its left edge", 0, 1920, 1920, 3840, 16384},
      {"right half, its right edge", 32767, 1920, 1920, 3840, 32767},
      {"left half, its middle", 16384, 0, 1920, 3840, 8192},
      {"a smaller monitor below another", 16384, 1080, 720, 1800, 26214},
      {"the whole desktop", 12345, 0, 1920, 1920, 12345},
      {"no area", 12345, 0, 0, 0, 12345},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TouchReportTranslator::MapAxis(c.value, c.offset, c.extent, c.desktop_extent),
              c.expected)
        << c.what;
  }

  // The slot positions and the single-touch axes alike; cleared, the picture spans
  // the device again.
  TouchReportTranslator t;
  t.SetArea(screen::Rect{1920, 0, 1920, 1080}, screen::Rect{0, 0, 3840, 1080});
  EXPECT_EQ(Translate(t, Report(Contact(7, 0, 16384, 16384), 1)),
            (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 0},
                            {EV_ABS, ABS_MT_TRACKING_ID, 0},
                            {EV_ABS, ABS_MT_POSITION_X, 24576},
                            {EV_ABS, ABS_MT_POSITION_Y, 16384},
                            {EV_KEY, BTN_TOUCH, 1},
                            {EV_ABS, ABS_X, 24576},
                            {EV_ABS, ABS_Y, 16384},
                            {EV_SYN, SYN_REPORT, 0}}));
  t.ClearArea();
  auto events = Translate(t, Report(Contact(7, 0, 16384, 16384), 1));
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[1], (E{EV_ABS, ABS_MT_POSITION_X, 16384}));
}

}  // namespace
}  // namespace platform::input
