#include "platform/input/touch_report_translator.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <optional>
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

// The pixel of a root window `root_extent` pixels long that a display server gives
// a device position, scaling the range 0..32767 by 32768 units (the X server's way)
// or by 32767 (a reader that takes the maximum for the whole); either way the
// position must fall on the same pixel.
int ServerPixel(int32_t device, int root_extent, int units) {
  return std::min<int>(static_cast<int>(int64_t{device} * root_extent / units), root_extent - 1);
}

// The device spans the root window, the report the picture of one monitor: each
// position lands on the root-window pixel that the picture shows, inside the shared
// monitor even at the picture's very edge.
TEST(TouchReportTranslator, AreaMovesThePictureIntoTheSharedMonitor) {
  using screen::Rect;
  struct Case {
    const char* what;
    Rect monitor;
    Rect desktop;               // the union of the monitors
    std::optional<Rect> root;   // the server's root window, when it tells it
    Rect actual_root;           // the one the server spreads the device over
    uint16_t x, y;              // on the picture
    int pixel_x, pixel_y;       // on the root window
  };
  const Rect two{0, 0, 3840, 1080};
  const Rect left{0, 0, 1920, 1080}, right{1920, 0, 1920, 1080};
  // 1366 + 1920: the picture's edges fall between the device's units.
  const Rect odd{0, 0, 3286, 1080};
  const Rect odd_left{0, 0, 1366, 768}, odd_right{1366, 0, 1920, 1080};
  const Case cases[] = {
      {"right of two, its middle", right, two, two, two, 16384, 16384, 2880, 540},
      {"right of two, its first column and row", right, two, two, two, 0, 0, 1920, 0},
      {"right of two, its last column and row", right, two, two, two, 32767, 32767, 3839, 1079},
      {"left of two, its last column and row", left, two, two, two, 32767, 32767, 1919, 1079},
      {"narrow left monitor, its last column and row", odd_left, odd, odd, odd, 32767, 32767,
       1365, 767},
      {"beside a narrow one, its first column", odd_right, odd, odd, odd, 0, 0, 1366, 0},
      {"beside a narrow one, its last column", odd_right, odd, odd, odd, 32767, 32767, 3285, 1079},
      {"a smaller monitor below another", Rect{0, 1080, 1280, 720}, Rect{0, 0, 1920, 1800},
       Rect{0, 0, 1920, 1800}, Rect{0, 0, 1920, 1800}, 16384, 32767, 640, 1799},
      // The monitors' union need not start at (0,0); the root window does.
      {"the only monitor right of an empty part of the root", right, right, two, two, 0, 0, 1920, 0},
      {"the only monitor right of an empty part, its last pixel", right, right, two, two, 32767,
       32767, 3839, 1079},
      {"a root window larger than the monitor", left, left, Rect{0, 0, 2560, 1440},
       Rect{0, 0, 2560, 1440}, 32767, 32767, 1919, 1079},
      {"root unknown: the smallest one holding the monitors", right, right, std::nullopt, two,
       16384, 0, 2880, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TouchReportTranslator t;
    t.SetArea(c.monitor, c.desktop, c.root);
    const auto events = Translate(t, Report(Contact(7, 0, c.x, c.y), 1));
    ASSERT_GE(events.size(), 4u);
    ASSERT_EQ(events[2].code, ABS_MT_POSITION_X);
    ASSERT_EQ(events[3].code, ABS_MT_POSITION_Y);
    for (int units : {32768, 32767}) {
      EXPECT_EQ(ServerPixel(events[2].value, c.actual_root.width, units), c.pixel_x) << units;
      EXPECT_EQ(ServerPixel(events[3].value, c.actual_root.height, units), c.pixel_y) << units;
    }
  }

  // The slot positions and the single-touch axes alike; cleared, the picture spans
  // the device again.
  TouchReportTranslator t;
  t.SetArea(right, two, two);
  EXPECT_EQ(Translate(t, Report(Contact(7, 0, 16384, 16384), 1)),
            (std::vector<E>{{EV_ABS, ABS_MT_SLOT, 0},
                            {EV_ABS, ABS_MT_TRACKING_ID, 0},
                            {EV_ABS, ABS_MT_POSITION_X, 24580},
                            {EV_ABS, ABS_MT_POSITION_Y, 16399},
                            {EV_KEY, BTN_TOUCH, 1},
                            {EV_ABS, ABS_X, 24580},
                            {EV_ABS, ABS_Y, 16399},
                            {EV_SYN, SYN_REPORT, 0}}));
  t.ClearArea();
  auto events = Translate(t, Report(Contact(7, 0, 16384, 16384), 1));
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[1], (E{EV_ABS, ABS_MT_POSITION_X, 16384}));
}

}  // namespace
}  // namespace platform::input
