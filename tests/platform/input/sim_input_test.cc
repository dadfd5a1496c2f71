#include <gtest/gtest.h>

#include <chrono>

#include "platform/input/bounded_record.h"
#include "platform/input/hid_bus.h"
#include "platform/input/mouse_injector.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "platform/input/uinput_touch_bus.h"
#include "platform/input/window_system.h"
#include "platform/input/xtest_mouse_injector.h"
#include "tests/support/log_capture.h"

namespace platform::input {
namespace {

TEST(SimHidBus, ListsOpensAndRecordsWithInjectedFailures) {
  SimHidBus bus;
  auto device = std::make_shared<SimHidDevice>(HidDeviceInfo{"a", 1, 2, 3, 4});
  bus.AddDevice(device);
  ASSERT_EQ(bus.Enumerate()->size(), 1u);

  HidResult result;
  EXPECT_EQ(bus.Open("missing", result), nullptr);
  EXPECT_FALSE(result.ok);
  auto handle = bus.Open("a", result);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->Info().product_id, 2);

  device->FailReportAt(1);
  const uint8_t r1[] = {1}, r2[] = {2}, r3[] = {3};
  EXPECT_TRUE(handle->SendOutputReport(r1, 1).ok);
  EXPECT_FALSE(handle->SendOutputReport(r2, 1).ok);
  EXPECT_TRUE(handle->SendOutputReport(r3, 1).ok);
  EXPECT_EQ(device->Reports(), (std::vector<std::vector<uint8_t>>{{1}, {3}}));
  EXPECT_EQ(device->SendCount(), 3u);
  EXPECT_TRUE(device->WaitForReports(2, std::chrono::milliseconds(0)));

  device->SetOpenFails(true);
  EXPECT_EQ(bus.Open("a", result), nullptr);
  bus.SetEnumerateFails(true);
  EXPECT_FALSE(bus.Enumerate().has_value());
  EXPECT_EQ(bus.OpenAttempts(), (std::vector<std::string>{"missing", "a", "a"}));
}

// A long run on the simulated devices keeps only the newest reports and calls, so its
// memory stays flat; the counts and the waits still see everything.
TEST(SimDevices, KeepABoundedRecordAndCountEverything) {
  constexpr size_t kKept = BoundedRecord<int>::kKept;
  constexpr size_t kSent = kKept + 3;
  SimHidDevice device(HidDeviceInfo{"a", 1, 2, 3, 4});
  RecordingMouse mouse;
  for (size_t i = 0; i < kSent; ++i) {
    const uint8_t report[] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
    ASSERT_TRUE(device.Receive(report, sizeof report).ok);
    ASSERT_TRUE(mouse.Inject(1, static_cast<int32_t>(i), 0, 0));
  }
  const auto reports = device.Reports();
  ASSERT_EQ(reports.size(), kKept);
  EXPECT_EQ(reports.front(), (std::vector<uint8_t>{3, 0}));  // the three oldest are gone
  EXPECT_EQ(reports.back(), (std::vector<uint8_t>{static_cast<uint8_t>(kSent - 1), (kSent - 1) >> 8}));
  EXPECT_EQ(device.ReportCount(), kSent);
  EXPECT_TRUE(device.WaitForReports(kSent, std::chrono::milliseconds(0)));

  const auto calls = mouse.Calls();
  ASSERT_EQ(calls.size(), kKept);
  EXPECT_EQ(calls.front().dx, 3);
  EXPECT_EQ(calls.back().dx, static_cast<int32_t>(kSent - 1));
  EXPECT_EQ(mouse.CallCount(), kSent);
  EXPECT_TRUE(mouse.WaitForCalls(kSent, std::chrono::milliseconds(0)));
}

TEST(SimBackend, FactoriesGiveTheSimulatedFacilities) {
  // castora_test runs every test with CASTORA_PLATFORM=sim.
  auto bus = CreateHidBus();
  auto devices = bus->Enumerate();
  ASSERT_TRUE(devices && devices->size() == 1u);
  EXPECT_EQ((*devices)[0].vendor_id, 0x001F);
  EXPECT_EQ((*devices)[0].product_id, 0xBA1C);
  EXPECT_EQ((*devices)[0].usage_page, 0xFF00);
  EXPECT_EQ((*devices)[0].usage, 0x01);
  EXPECT_NE(dynamic_cast<RecordingMouse*>(CreateMouseInjector().get()), nullptr);
  auto windows = CreateWindowSystem();
  EXPECT_TRUE(windows->IsWindow(windows->DesktopWindow()));
  EXPECT_FALSE(windows->IsWindow(77));
}

TEST(SimBackend, WritesWhatItReceivesToTheLog) {
  testing_support::ScopedLogCapture log;
  auto bus = CreateHidBus();
  HidResult result;
  auto device = bus->Open((*bus->Enumerate())[0].path, result);
  ASSERT_NE(device, nullptr);
  const uint8_t report[] = {0x40, 0x16, 0x01, 0x07};
  EXPECT_TRUE(device->SendOutputReport(report, sizeof report).ok);
  EXPECT_TRUE(log.Contains("touch report to sim:hid/touch: 40 16 01 07 ")) << log.Text();
  CreateMouseInjector()->Inject(mouse_flags::kMove, 3, -4, 0);
  EXPECT_TRUE(log.Contains("mouse input, flags: 0x0001, dx: 3, dy: -4, data: 0")) << log.Text();
}

TEST(LinuxBackend, TouchBusListsTheDeviceOnlyWithWritableUinput) {
  UinputTouchBus bus;
  auto devices = bus.Enumerate();
  ASSERT_TRUE(devices.has_value());
  HidResult result;
  if (devices->empty()) {
    EXPECT_EQ(bus.Open(UinputTouchBus::kPath, result), nullptr);
    EXPECT_FALSE(result.ok);
  } else {
    EXPECT_EQ((*devices)[0].vendor_id, 0x001F);
  }
  EXPECT_EQ(bus.Open("elsewhere", result), nullptr);
}

TEST(XTestMouseInjector, ScalesAbsoluteAndBoundsWheel) {
  EXPECT_EQ(XTestMouseInjector::ToPixel(0, 1920), 0);
  EXPECT_EQ(XTestMouseInjector::ToPixel(65535, 1920), 1919);
  EXPECT_EQ(XTestMouseInjector::ToPixel(32768, 1080), 540);  // the middle: first of the lower half
  EXPECT_EQ(XTestMouseInjector::ToPixel(-5, 1080), 0);
  EXPECT_EQ(XTestMouseInjector::WheelClicks(0), 0);
  EXPECT_EQ(XTestMouseInjector::WheelClicks(-120), 1);
  EXPECT_EQ(XTestMouseInjector::WheelClicks(360), 3);
  EXPECT_EQ(XTestMouseInjector::WheelClicks(60), 1);
  EXPECT_EQ(XTestMouseInjector::WheelClicks(INT32_MIN), 100);
}

}  // namespace
}  // namespace platform::input
