#include "services/video/vdev/vmonitor.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/display/linux_virtual_display_driver.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/display/virtual_display_names.h"
#include "services/video/vdev/virtual_screen.h"

namespace VDevUtils {
namespace {

namespace pd = platform::display;
using Sim = pd::SimVirtualDisplayDriver;
using Script = Sim::Script;
using Strings = std::vector<std::string>;

const std::string kHelper = "\"C:\\Program Files\\Castora\\quenlar.exe\"";

TEST(VMonitorFormatTest, PlugInRecordIsLittleEndian) {
  const std::array<uint8_t, 16> expected = {
      0x04, 0x00, 0x01, 0x00,  // 0x00010004
      0x5A, 0x2E,              // vendor id 0x2E5A
      0x41, 0x0C,              // product id 0x0C41
      0x99, 0x03, 0x03, 0x01,  // 0x01030399
      0x03, 0x00, 0x00, 0x01,  // 0x01000003
  };
  EXPECT_EQ(VMonitor::PlugInRecord(), expected);
}

TEST(VMonitorFormatTest, FilterInputHoldsTwentyOneUpperCasedUtf16Characters) {
  const auto input = VMonitor::FilterInput("pci\\ven_8086&dev_5917&subsys_22128086");
  ASSERT_EQ(input.size(), 256u);
  const std::string expected = "PCI\\VEN_8086&DEV_5917";
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(input[2 * i], static_cast<uint8_t>(expected[i])) << i;
    EXPECT_EQ(input[2 * i + 1], 0) << i;
  }
  for (size_t i = 2 * expected.size(); i < input.size(); ++i) EXPECT_EQ(input[i], 0) << i;
  // A short or unreadable id leaves the rest zero.
  EXPECT_EQ(VMonitor::FilterInput(""), std::vector<uint8_t>(256, 0));
}

TEST(VMonitorFormatTest, WindowsClassFromVersionAndReleaseId) {
  struct Case {
    std::optional<pd::NtVersion> version;
    std::optional<std::string> release;
    int klass;
  };
  const std::vector<Case> cases = {
      {std::nullopt, std::nullopt, 0},  // no version lookup
      {pd::NtVersion{6, 0, 0}, std::nullopt, 0},
      {pd::NtVersion{6, 1, 0}, std::nullopt, 1},
      {pd::NtVersion{6, 3, 0}, std::nullopt, 1},
      {pd::NtVersion{6, 4, 0}, std::nullopt, 0},
      {pd::NtVersion{10, 0, 0}, std::string("1507"), 0},
      {pd::NtVersion{10, 0, 0}, std::string("1607"), 2},
      {pd::NtVersion{10, 0, 0}, std::string("1709"), 3},
      {pd::NtVersion{10, 0, 0}, std::nullopt, 0},
      {pd::NtVersion{10, 0, 0}, std::string("20H2"), 0},
      {pd::NtVersion{10, 0, 0}, std::string("99999999999999999999"), 3},
      {pd::NtVersion{5, 1, 0}, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VMonitor::WindowsClass(c.version, c.release), c.klass)
        << (c.version ? c.version->major : 0) << "." << (c.version ? c.version->minor : 0) << " "
        << c.release.value_or("-");
  }
}

// --- the result table ---

Script Windows7() {
  Script s;
  s.version = pd::NtVersion{6, 1, 7601};
  s.release_id.reset();
  s.filter_device = true;
  return s;
}

Script Windows10(const char* release = "1909") {
  Script s;
  s.release_id = std::string(release);
  return s;
}

void RemoveDevice(Script& s, const char* id) {
  std::vector<Sim::Device> kept;
  for (const auto& d : s.devices)
    if (!pd::HardwareIdMatches(d.hardware_id, id)) kept.push_back(d);
  s.devices = kept;
}

void BreakBus(Script& s) {
  for (auto& d : s.devices)
    if (pd::HardwareIdMatches(d.hardware_id, pd::kBusHardwareId)) d.has_problem = true;
}

struct ResultCase {
  const char* name;
  std::function<Script()> script;
  int open_result;    // VMonitor::Open
  int screen_result;  // VirtualScreen::Open
  Strings command_lines;
};

class VMonitorResultTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(VMonitorResultTest, OpenResultAndItsFolding) {
  const ResultCase& c = GetParam();
  auto sim = std::make_shared<Sim>(c.script());
  {
    VMonitor monitor(sim);
    monitor.SetHelperPath("C:\\Program Files\\Castora\\quenlar.exe");
    EXPECT_EQ(monitor.Open(), c.open_result);
    EXPECT_EQ(monitor.IsOpened(), c.open_result == VMonitor::kOpened);
    EXPECT_EQ(sim->virtual_monitor_on(), c.open_result == VMonitor::kOpened);
    EXPECT_EQ(sim->record().command_lines, c.command_lines);
    if (c.open_result != VMonitor::kOpened) {
      // A failed open holds nothing but, at most, the plugged bus.
      EXPECT_LE(sim->record().open_handles, 1);
      // and leaves composition as it found it.
      EXPECT_EQ(sim->script().composition_enabled, c.script().composition_enabled);
    }
  }
  EXPECT_EQ(sim->record().open_handles, 0);

  auto fresh = std::make_shared<Sim>(c.script());
  VirtualScreen screen(fresh);
  EXPECT_EQ(screen.Open(), c.screen_result);
  EXPECT_EQ(screen.ExpectedMonitorCount(), c.screen_result == VirtualScreen::kOk ? 2 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VMonitorResultTest,
    ::testing::Values(
        ResultCase{"Windows10Release1507IsUnsupported", [] { return Windows10("1507"); }, 5, 2, {}},
        ResultCase{"NoVersionLookupIsUnsupported",
                   [] {
                     Script s;
                     s.version.reset();
                     return s;
                   },
                   5, 2, {}},
        ResultCase{"Windows7Filter", Windows7, 0, 0, {}},
        ResultCase{"Windows7FilterMissingHelperCannotInstall",
                   [] {
                     Script s = Windows7();
                     s.filter_device = false;
                     return s;
                   },
                   1, 3, {kHelper + " enable =Display"}},
        ResultCase{"Windows7FilterInstalledByHelper",
                   [] {
                     Script s = Windows7();
                     s.filter_device = false;
                     s.helper_installs_filter = true;
                     return s;
                   },
                   0, 0, {kHelper + " enable =Display"}},
        ResultCase{"Windows7NoPrimaryAdapter",
                   [] {
                     Script s = Windows7();
                     s.matching_device_id.reset();
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"Windows7FilterControlFails",
                   [] {
                     Script s = Windows7();
                     s.filter_control_ok = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"Windows1607FallsBackToTheBus", [] { return Windows10("1607"); }, 0, 0,
                   {kHelper + " enable =Display"}},
        ResultCase{"Windows10Bus", [] { return Windows10(); }, 0, 0, {}},
        ResultCase{"BusNotInstalled",
                   [] {
                     Script s = Windows10();
                     RemoveDevice(s, pd::kBusHardwareId);
                     return s;
                   },
                   2, 3, {}},
        ResultCase{"BusWorkingWithoutInterface",
                   [] {
                     Script s = Windows10();
                     s.bus_interface = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"BusBrokenHelperMissing",
                   [] {
                     Script s = Windows10();
                     BreakBus(s);
                     s.helper_exists = false;
                     return s;
                   },
                   4, 3, {}},
        ResultCase{"BusRepairedByHelper",
                   [] {
                     Script s = Windows10();
                     BreakBus(s);
                     return s;
                   },
                   0, 0,
                   {kHelper + " enable \"root\\vmonitorbus\"", kHelper + " update"}},
        ResultCase{"BusNotRepairedByHelper",
                   [] {
                     Script s = Windows10();
                     BreakBus(s);
                     s.helper_repairs_bus = false;
                     return s;
                   },
                   7, 3,
                   {kHelper + " enable \"root\\vmonitorbus\"", kHelper + " update"}},
        ResultCase{"BusOpenFails",
                   [] {
                     Script s = Windows10();
                     s.bus_open_ok = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"PlugInFails",
                   [] {
                     Script s = Windows10();
                     s.bus_control_ok = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"MonitorDeviceMissing",
                   [] {
                     Script s = Windows10();
                     RemoveDevice(s, pd::kMonitorHardwareId);
                     return s;
                   },
                   3, 1, {}},
        ResultCase{"PipeAnswersOtherThanA",
                   [] {
                     Script s = Windows10();
                     s.pipe_answer = 'N';
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"PipeWriteFails",
                   [] {
                     Script s = Windows10();
                     s.pipe_write_ok = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"PipeReadFails",
                   [] {
                     Script s = Windows10();
                     s.pipe_read_ok = false;
                     return s;
                   },
                   8, 3, {}},
        ResultCase{"PipeOpenFails",
                   [] {
                     Script s = Windows10();
                     s.pipe_status = pd::PipeOpenStatus::kFailed;
                     return s;
                   },
                   8, 3, {}}),
    [](const ::testing::TestParamInfo<ResultCase>& p) { return p.param.name; });

TEST(VMonitorTest, FilterWaySendsTheInputAndRestoresCompositionOnClose) {
  auto sim = std::make_shared<Sim>(Windows7());
  VMonitor monitor(sim);
  ASSERT_EQ(monitor.Open(), VMonitor::kOpened);
  const auto record = sim->record();
  ASSERT_EQ(record.controls.size(), 1u);
  EXPECT_EQ(record.controls[0].first, pd::kFilterControlCode);
  EXPECT_EQ(record.controls[0].second, VMonitor::FilterInput("PCI\\VEN_8086&DEV_5917"));
  EXPECT_EQ(record.composition_changes, std::vector<bool>{false});
  EXPECT_EQ(monitor.Close(), 0);
  EXPECT_FALSE(sim->virtual_monitor_on());
  EXPECT_EQ(sim->record().composition_changes, (std::vector<bool>{false, true}));
  EXPECT_EQ(sim->record().open_handles, 0);
}

TEST(VMonitorTest, FailedFilterControlRestoresComposition) {
  Script s = Windows7();
  s.filter_control_ok = false;
  auto sim = std::make_shared<Sim>(s);
  VMonitor monitor(sim);
  EXPECT_EQ(monitor.Open(), VMonitor::kFailed);
  EXPECT_EQ(sim->record().composition_changes, (std::vector<bool>{false, true}));
  EXPECT_TRUE(sim->script().composition_enabled);
}

TEST(VMonitorTest, OpeningTwiceOpensOnceAndTheBusOutlivesClose) {
  auto sim = std::make_shared<Sim>(Windows10());
  std::vector<bool> plugged;
  sim->SetMonitorPlugCallback([&](bool on) { plugged.push_back(on); });
  auto monitor = std::make_unique<VMonitor>(sim);
  EXPECT_EQ(monitor->Open(), VMonitor::kOpened);
  EXPECT_EQ(monitor->Open(), VMonitor::kOpened);
  auto record = sim->record();
  ASSERT_EQ(record.controls.size(), 1u);
  EXPECT_EQ(record.controls[0].first, pd::kPlugInControlCode);
  const auto plug = VMonitor::PlugInRecord();
  EXPECT_EQ(record.controls[0].second, std::vector<uint8_t>(plug.begin(), plug.end()));
  EXPECT_EQ(record.pipe_bytes, std::vector<uint8_t>{'P'});
  EXPECT_EQ(record.sleeps_ms, std::vector<int64_t>{1000});
  EXPECT_EQ(record.open_handles, 2);  // bus and pipe

  EXPECT_EQ(monitor->Close(), 0);
  EXPECT_EQ(monitor->Close(), 0);
  EXPECT_FALSE(monitor->IsOpened());
  EXPECT_EQ(sim->record().open_handles, 1);  // the bus stays plugged

  // Reopening uses the plugged bus: no second plug-in.
  EXPECT_EQ(monitor->Open(), VMonitor::kOpened);
  EXPECT_EQ(sim->record().controls.size(), 1u);
  EXPECT_EQ(sim->record().pipe_bytes, (std::vector<uint8_t>{'P', 'P'}));

  // Destroying the monitor closes what it holds, the bus included.
  monitor.reset();
  EXPECT_EQ(sim->record().open_handles, 0);
  EXPECT_EQ(plugged, (std::vector<bool>{true, false, true, false}));
}

TEST(VMonitorTest, MissingMonitorDeviceReleasesTheBusAndSaysSo) {
  Script s = Windows10();
  RemoveDevice(s, pd::kMonitorHardwareId);
  auto sim = std::make_shared<Sim>(s);
  VMonitor monitor(sim);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(monitor.Open(), VMonitor::kMonitorDeviceMissing);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Pluging virtual device ...\nPlug virtual device success.\nNo installed Idd driver.\n");
  EXPECT_EQ(sim->record().open_handles, 0);
}

TEST(VirtualScreenTest, CountsTheMonitorAndResolvesTheHelperInTheProgramFolder) {
  Script s = Windows10();
  BreakBus(s);
  s.monitor_count = 2;
  auto sim = std::make_shared<Sim>(s);
  VirtualScreen screen(sim);
  EXPECT_EQ(screen.ExpectedMonitorCount(), -1);
  EXPECT_EQ(screen.Open(), VirtualScreen::kOk);
  EXPECT_EQ(screen.ExpectedMonitorCount(), 3);
  EXPECT_EQ(sim->MonitorCount(), 3);
  EXPECT_EQ(sim->record().command_lines.front(), kHelper + " enable \"root\\vmonitorbus\"");
  EXPECT_EQ(sim->record().sleeps_ms.front(), 100);
  EXPECT_EQ(screen.Open(), VirtualScreen::kOk);
  EXPECT_EQ(screen.ExpectedMonitorCount(), 3);  // not counted twice
  EXPECT_EQ(screen.Close(), VirtualScreen::kOk);
  EXPECT_EQ(screen.ExpectedMonitorCount(), -1);
  EXPECT_EQ(screen.Close(), VirtualScreen::kOk);
}

TEST(VirtualScreenTest, LinuxHasNoVirtualDisplayAndTheShareGoesOnWithoutIt) {
  VirtualScreen screen(std::make_shared<pd::LinuxVirtualDisplayDriver>());
  EXPECT_EQ(screen.Open(), VirtualScreen::kUnsupported);
  EXPECT_EQ(screen.ExpectedMonitorCount(), -1);
  EXPECT_EQ(screen.Close(), VirtualScreen::kOk);
}

TEST(VirtualScreenTest, SimulatedRunPlugsTheMonitorIntoTheSharedDriver) {
  // castora_test runs with CASTORA_PLATFORM=sim: the default screen uses the shared
  // simulated driver, whose default system can switch the monitor on.
  const auto shared = Sim::Shared();
  std::vector<bool> plugged;
  shared->SetMonitorPlugCallback([&](bool on) { plugged.push_back(on); });
  {
    VirtualScreen screen;
    EXPECT_EQ(screen.Open(), VirtualScreen::kOk);
    EXPECT_TRUE(shared->virtual_monitor_on());
    EXPECT_EQ(screen.Close(), VirtualScreen::kOk);
  }
  shared->SetMonitorPlugCallback(nullptr);
  EXPECT_EQ(plugged, (std::vector<bool>{true, false}));
  EXPECT_EQ(shared->record().open_handles, 0);
}

}  // namespace
}  // namespace VDevUtils
