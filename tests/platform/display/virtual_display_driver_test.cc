#include "platform/display/virtual_display_driver.h"

#include <vector>

#include <gtest/gtest.h>

#include "platform/display/linux_virtual_display_driver.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/display/virtual_display_names.h"

namespace platform::display {
namespace {

TEST(HardwareIdTest, MatchesCaseInsensitivelyByContainment) {
  EXPECT_TRUE(HardwareIdMatches("ROOT\\VMONITORBUS", kBusHardwareId));
  EXPECT_TRUE(HardwareIdMatches("HID\\VID_2E5A&PID_0C41&REV_0100", kMonitorHardwareId));
  EXPECT_FALSE(HardwareIdMatches("HID\\VID_2E5A&PID_0C42", kMonitorHardwareId));
  EXPECT_FALSE(HardwareIdMatches("ROOT\\VMONITORBUS", ""));
}

TEST(LinuxVirtualDisplayDriverTest, HasNoVirtualDisplayDriver) {
  LinuxVirtualDisplayDriver driver;
  EXPECT_FALSE(driver.GetNtVersion().has_value());
  EXPECT_EQ(driver.OpenDevice(kFilterDevicePath), nullptr);
  EXPECT_EQ(driver.OpenControlPipe(kControlPipeName).status, PipeOpenStatus::kFailed);
  EXPECT_FALSE(driver.IsDeviceInstalled(kBusHardwareId, kSystemSetupClass));
  EXPECT_TRUE(driver.FindDeviceInterfacePath(kBusInterfaceClass).empty());
  EXPECT_FALSE(driver.RunAndWait("quenlar.exe update"));
  // The program's own folder is real: this test binary lives there.
  const std::string self = driver.ApplicationFilePath("platform_display_virtual_display_driver_test");
  EXPECT_TRUE(driver.FileExists(self)) << self;
}

TEST(SimVirtualDisplayDriverTest, RunUnderSimUsesTheSharedSimulatedDriver) {
  // castora_test runs every test with CASTORA_PLATFORM=sim.
  EXPECT_EQ(CreateVirtualDisplayDriver(), SimVirtualDisplayDriver::Shared());
}

TEST(SimVirtualDisplayDriverTest, PipeExchangeSwitchesTheMonitorUntilClosed) {
  SimVirtualDisplayDriver sim;
  std::vector<bool> plugged;
  sim.SetMonitorPlugCallback([&](bool on) { plugged.push_back(on); });
  EXPECT_EQ(sim.MonitorCount(), 1);
  {
    auto opened = sim.OpenControlPipe(kControlPipeName);
    ASSERT_EQ(opened.status, PipeOpenStatus::kOpened);
    uint8_t answer = 0;
    ASSERT_TRUE(opened.pipe->WriteByte('P'));
    ASSERT_TRUE(opened.pipe->ReadByte(&answer));
    EXPECT_EQ(answer, 'A');
    EXPECT_TRUE(sim.virtual_monitor_on());
    EXPECT_EQ(sim.MonitorCount(), 2);
    EXPECT_EQ(sim.record().open_handles, 1);
  }
  EXPECT_FALSE(sim.virtual_monitor_on());
  EXPECT_EQ(sim.record().open_handles, 0);
  EXPECT_EQ(plugged, (std::vector<bool>{true, false}));
}

TEST(SimVirtualDisplayDriverTest, FilterControlSwitchesTheMonitorOnlyWhenScripted) {
  SimVirtualDisplayDriver::Script script;
  script.filter_device = true;
  script.filter_control_ok = false;
  SimVirtualDisplayDriver sim(script);
  auto filter = sim.OpenDevice(kFilterDevicePath);
  ASSERT_NE(filter, nullptr);
  EXPECT_FALSE(filter->Control(kFilterControlCode, std::vector<uint8_t>(256)));
  EXPECT_NE(filter->LastError(), 0u);
  EXPECT_FALSE(sim.virtual_monitor_on());
  script.filter_control_ok = true;
  sim.SetScript(script);
  EXPECT_FALSE(filter->Control(kFilterControlCode, std::vector<uint8_t>(16)));  // wrong size
  EXPECT_TRUE(filter->Control(kFilterControlCode, std::vector<uint8_t>(256)));
  EXPECT_TRUE(sim.virtual_monitor_on());
  filter.reset();
  EXPECT_FALSE(sim.virtual_monitor_on());
}

}  // namespace
}  // namespace platform::display
