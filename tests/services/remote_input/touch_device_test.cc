#include "services/remote_input/touch_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"

namespace crcp::ril {
namespace {

using platform::input::HidDeviceInfo;
using platform::input::SimHidBus;
using platform::input::SimHidDevice;
using platform::input::SimWindowSystem;
using Bytes = std::vector<uint8_t>;

InputEvent Abs(uint16_t code, int32_t value) { return {1, 0, ev::kAbs, code, value}; }
InputEvent Syn() { return {1, 0, ev::kSyn, 0, 0}; }

// A touch device on a simulated bus holding one recording device with the given ids.
struct TouchFixture {
  explicit TouchFixture(uint16_t vendor = 0x001F, uint16_t product = 0xBA1C,
                        uint16_t usage_page = 0xFF00, uint16_t usage = 0x01)
      : bus(std::make_shared<SimHidBus>()),
        windows(std::make_shared<SimWindowSystem>()),
        hid(std::make_shared<SimHidDevice>(HidDeviceInfo{"sim:0", vendor, product, usage_page, usage})),
        touch(platform::input::kNullWindow, bus, windows) {
    bus->AddDevice(hid);
  }
  void Feed(const std::vector<InputEvent>& events) {
    for (const auto& e : events) EXPECT_TRUE(touch.Process(e));
  }
  std::shared_ptr<SimHidBus> bus;
  std::shared_ptr<SimWindowSystem> windows;
  std::shared_ptr<SimHidDevice> hid;
  TouchDevice touch;
};

// The report layout: 40 16 01, contact k, contact k+1, count, 41 zero bytes.
Bytes Report(Bytes contact_k, Bytes contact_k1, uint8_t count) {
  Bytes r = {0x40, 0x16, 0x01};
  r.insert(r.end(), contact_k.begin(), contact_k.end());
  if (contact_k1.empty()) contact_k1.assign(10, 0);
  r.insert(r.end(), contact_k1.begin(), contact_k1.end());
  r.push_back(count);
  r.resize(65, 0);
  return r;
}

TEST(TouchDevice, ReportTable) {
  struct Case {
    const char* name;
    std::vector<InputEvent> events;
    std::vector<Bytes> reports;
  };
  const std::vector<Case> cases = {
      {"one contact",
       {Abs(ev::kAbsMtSlot, 0), Abs(ev::kAbsMtTrackingId, 5), Abs(ev::kAbsMtPositionX, 1000),
        Abs(ev::kAbsMtPositionY, 600), Syn()},
       // status 7, id 0, x 500 = F4 01, y 300 = 2C 01, w 20, h 30
       {Report({0x07, 0x00, 0xF4, 0x01, 0x2C, 0x01, 0x14, 0x00, 0x1E, 0x00}, {}, 1)}},
      {"three contacts make two reports",
       {Abs(ev::kAbsMtSlot, 0), Abs(ev::kAbsMtPositionX, 2), Abs(ev::kAbsMtPositionY, 4),
        Abs(ev::kAbsMtSlot, 1), Abs(ev::kAbsMtPositionX, 6), Abs(ev::kAbsMtPositionY, 8),
        Abs(ev::kAbsMtSlot, 2), Abs(ev::kAbsMtPositionX, 0x200), Abs(ev::kAbsMtPositionY, 12),
        Syn()},
       {Report({7, 0, 1, 0, 2, 0, 20, 0, 30, 0}, {7, 1, 3, 0, 4, 0, 20, 0, 30, 0}, 3),
        Report({7, 2, 0x00, 0x01, 6, 0, 20, 0, 30, 0}, {}, 0)}},
      {"empty frame sends nothing", {Syn()}, {}},
      {"position and tracking id before any slot are ignored",
       {Abs(ev::kAbsMtPositionX, 100), Abs(ev::kAbsMtTrackingId, -1), Syn()},
       {}},
      {"slot 70000 and -1 select nothing",
       {Abs(ev::kAbsMtSlot, 70000), Abs(ev::kAbsMtPositionX, 100), Abs(ev::kAbsMtSlot, -1),
        Abs(ev::kAbsMtPositionY, 100), Syn()},
       {}},
      {"touch size, pressure and BTN_TOUCH are taken and ignored",
       {Abs(ev::kAbsMtSlot, 3), Abs(ev::kAbsMtTouchMajor, 9), Abs(ev::kAbsMtPressure, 9),
        {1, 0, ev::kKey, ev::kBtnTouch, 1}, Syn()},
       {Report({7, 3, 0, 0, 0, 0, 20, 0, 30, 0}, {}, 1)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TouchFixture f;
    ASSERT_TRUE(f.touch.Open());
    f.Feed(c.events);
    EXPECT_EQ(f.hid->Reports(), c.reports);
  }
}

TEST(TouchDevice, ReleaseInALaterFrameKeepsLastCoordinates) {
  TouchFixture f;
  ASSERT_TRUE(f.touch.Open());
  f.Feed({Abs(ev::kAbsMtSlot, 4), Abs(ev::kAbsMtPositionX, 40), Abs(ev::kAbsMtPositionY, 80), Syn()});
  f.Feed({Abs(ev::kAbsMtSlot, 4), Abs(ev::kAbsMtTrackingId, -1), Syn()});
  auto reports = f.hid->Reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1], Report({4, 4, 20, 0, 40, 0, 20, 0, 30, 0}, {}, 1));
}

TEST(TouchDevice, EventsOtherDevicesOwnAreRefused) {
  TouchFixture f;
  for (const InputEvent& e : std::vector<InputEvent>{{1, 0, ev::kKey, ev::kBtnLeft, 1},
                                                     {1, 0, ev::kRel, ev::kRelX, 1},
                                                     Abs(50, 1), Abs(55, 1), Abs(46, 1), Abs(59, 1),
                                                     {1, 0, ev::kAbsolutePointer, 0, 1}})
    EXPECT_FALSE(f.touch.Process(e)) << e.type << "/" << e.code;
}

TEST(TouchDevice, FailedReportDropsRestOfFrameOnly) {
  TouchFixture f;
  ASSERT_TRUE(f.touch.Open());
  f.hid->FailReportAt(0);
  const std::vector<InputEvent> three = {Abs(ev::kAbsMtSlot, 0), Abs(ev::kAbsMtSlot, 1),
                                         Abs(ev::kAbsMtSlot, 2), Syn()};
  f.Feed(three);
  EXPECT_EQ(f.hid->SendCount(), 1u);  // the second report of the frame is never sent
  EXPECT_TRUE(f.hid->Reports().empty());
  f.Feed(three);
  EXPECT_EQ(f.hid->Reports().size(), 2u);
}

TEST(TouchDevice, FrameWithoutSynIsCapped) {
  TouchFixture f;
  ASSERT_TRUE(f.touch.Open());
  for (int i = 0; i < 1000; ++i) EXPECT_TRUE(f.touch.Process(Abs(ev::kAbsMtSlot, i % 2)));
  f.Feed({Syn()});
  auto reports = f.hid->Reports();
  ASSERT_EQ(reports.size(), 128u);  // 255 contacts, two per report
  EXPECT_EQ(reports[0][23], 255);
}

TEST(TouchDevice, NothingIsSentOnceTheWindowIsGone) {
  auto bus = std::make_shared<SimHidBus>();
  auto hid = std::make_shared<SimHidDevice>(HidDeviceInfo{"sim:0", 0x001F, 0xBA1C, 0xFF00, 0x01});
  bus->AddDevice(hid);
  auto windows = std::make_shared<SimWindowSystem>();
  windows->AddWindow(42);
  TouchDevice touch(42, bus, windows);
  ASSERT_TRUE(touch.Open());
  touch.Process(Abs(ev::kAbsMtSlot, 0));
  touch.Process(Syn());
  windows->RemoveWindow(42);
  touch.Process(Abs(ev::kAbsMtSlot, 0));
  touch.Process(Syn());
  EXPECT_EQ(hid->Reports().size(), 1u);
}

TEST(TouchDevice, OpenTriesTheFiveHardwareIdsInOrder) {
  for (size_t pair = 0; pair < TouchDevice::kHardwareIds.size(); ++pair) {
    SCOPED_TRACE(pair);
    const auto ids = TouchDevice::kHardwareIds[pair];
    TouchFixture f(ids.first, ids.second);
    ASSERT_TRUE(f.touch.Open());
    // Each attempt opens the one present device and checks it against its pair.
    EXPECT_EQ(f.bus->OpenAttempts().size(), pair + 1);
    f.Feed({Abs(ev::kAbsMtSlot, 0), Syn()});
    EXPECT_EQ(f.hid->Reports().size(), 1u);
  }
}

TEST(TouchDevice, OpenFailsWithoutOurDevice) {
  struct Case {
    const char* name;
    uint16_t vendor, product, usage_page, usage;
    bool open_fails, enumerate_fails;
  };
  for (const Case& c : {Case{"other ids", 0x001F, 0xBA2C, 0xFF00, 0x01, false, false},
                        Case{"other usage page", 0x001F, 0xBA1C, 0x000D, 0x01, false, false},
                        Case{"other usage", 0x001F, 0xBA1C, 0xFF00, 0x04, false, false},
                        Case{"not openable", 0x001F, 0xBA1C, 0xFF00, 0x01, true, false},
                        Case{"bus not listable", 0x001F, 0xBA1C, 0xFF00, 0x01, false, true}}) {
    SCOPED_TRACE(c.name);
    TouchFixture f(c.vendor, c.product, c.usage_page, c.usage);
    f.hid->SetOpenFails(c.open_fails);
    f.bus->SetEnumerateFails(c.enumerate_fails);
    EXPECT_FALSE(f.touch.Open());
    EXPECT_EQ(f.bus->OpenAttempts().size(), c.enumerate_fails ? 0u : 5u);
    // Not open: a frame is consumed and goes nowhere.
    f.Feed({Abs(ev::kAbsMtSlot, 0), Syn()});
    EXPECT_TRUE(f.hid->Reports().empty());
  }
}

}  // namespace
}  // namespace crcp::ril
