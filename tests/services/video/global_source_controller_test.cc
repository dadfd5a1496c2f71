#include "services/video/global_source_controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/sim_virtual_display_driver.h"
#include "platform/screen/display_topology.h"
#include "platform/screen/sim_desktop.h"
#include "services/video/screen_utils.h"
#include "services/video/video_provider.h"
#include "tests/services/video/fake_video_source.h"

namespace crcp::video {
namespace {

using testing::FakeSourceController;
using Calls = std::vector<std::string>;
constexpr std::chrono::seconds kBound{10};

// A global source controller over a recording pipeline, a private simulated virtual
// display driver and a private simulated desktop that the driver plugs its monitor into.
class GlobalSourceControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = std::make_shared<platform::screen::SimDesktop>();
    driver_->SetMonitorPlugCallback([desktop = desktop_](bool on) {
      platform::screen::SimDisplayTopology::PlugMonitor(desktop, on, ScreenUtils::kVirtualMonitorName,
                                                        1280, 720);
    });
    screen_utils_ = std::make_shared<ScreenUtils>(
        std::make_shared<platform::screen::SimDisplayTopology>(desktop_), false);
    controller_ = std::make_shared<GlobalSourceController>(
        source_, std::make_shared<VDevUtils::VirtualScreen>(driver_));
    controller_->SetScreenUtils(screen_utils_);
    source_->ClearCalls();
  }

  // A second monitor of the user's own ("Projector"), right of the main one.
  platform::screen::Monitor AddDesksSecondMonitor() {
    auto monitors = desktop_->GetMonitors();
    platform::screen::Monitor second;
    second.name = "Projector";
    second.rect = {monitors[0].rect.width, 0, 800, 600};
    monitors.push_back(second);
    desktop_->SetMonitors(monitors);
    return second;
  }

  std::shared_ptr<platform::display::SimVirtualDisplayDriver> driver_ =
      std::make_shared<platform::display::SimVirtualDisplayDriver>();
  std::shared_ptr<platform::screen::SimDesktop> desktop_;
  std::shared_ptr<ScreenUtils> screen_utils_;
  std::shared_ptr<FakeSourceController> source_ = std::make_shared<FakeSourceController>();
  std::shared_ptr<GlobalSourceController> controller_;
};

TEST_F(GlobalSourceControllerTest, FirstStartStartsLaterStartsAskForKeyFrame) {
  controller_->AddOutputCallback("a", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_TRUE(controller_->IsRunning());
  EXPECT_EQ(source_->Calls(), (Calls{"Start"}));
  // A second consumer joins the running stream: a key frame, no second start.
  controller_->AddOutputCallback("b", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_EQ(source_->Calls(), (Calls{"Start", "RequestKeyFrame"}));
}

TEST_F(GlobalSourceControllerTest, TwoConsumersBeforeStartAskForKeyFrameFirst) {
  controller_->AddOutputCallback("a", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->AddOutputCallback("b", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_EQ(source_->Calls(), (Calls{"RequestKeyFrame", "Start"}));
}

TEST_F(GlobalSourceControllerTest, LastConsumerStopsThePipelineBeforeItIsRemoved) {
  int a_calls = 0;
  controller_->AddOutputCallback("a", [&](uint8_t*, uint32_t, uint64_t) { ++a_calls; });
  controller_->AddOutputCallback("b", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  source_->ClearCalls();

  // One of two leaves: the pipeline goes on for the other, which alone gets samples.
  controller_->Stop("b");
  EXPECT_TRUE(controller_->IsRunning());
  EXPECT_TRUE(source_->Calls().empty());
  source_->Emit(1);
  EXPECT_EQ(a_calls, 1);

  size_t consumers_at_stop = 0;
  source_->on_stop = [&] { consumers_at_stop = controller_->ConsumerCount(); };
  controller_->Stop("a");
  EXPECT_FALSE(controller_->IsRunning());
  EXPECT_EQ(consumers_at_stop, 1u) << "the sink may still call it until the pipeline stopped";
  EXPECT_EQ(controller_->ConsumerCount(), 0u);
  EXPECT_EQ(source_->Calls(), (Calls{"Pause", "SetMonitor 0", "Resume", "Stop"}));
  source_->Emit(2);
  EXPECT_EQ(a_calls, 1);

  // A stop while stopped changes nothing.
  source_->ClearCalls();
  controller_->Stop("a");
  EXPECT_TRUE(source_->Calls().empty());
}

// A consumer's owner may go as soon as it left: leaving waits for the consumer's call
// in flight on the output thread (and the call it was in finishes).
TEST_F(GlobalSourceControllerTest, LeavingWaitsForTheConsumersCallInFlight) {
  std::promise<void> entered;
  std::atomic<bool> finished{false};
  controller_->AddOutputCallback("a", [&](uint8_t*, uint32_t, uint64_t) {
    entered.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finished = true;
  });
  controller_->AddOutputCallback("b", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  auto output = std::async(std::launch::async, [&] { source_->Emit(1); });
  ASSERT_EQ(entered.get_future().wait_for(kBound), std::future_status::ready);
  controller_->Stop("a");
  EXPECT_TRUE(finished);
  EXPECT_TRUE(controller_->IsRunning());
  output.get();
}

TEST_F(GlobalSourceControllerTest, DisplayIds) {
  controller_->SetDisplayId(2);
  EXPECT_FALSE(controller_->IsExtend());
  EXPECT_TRUE(source_->Calls().empty());

  // Before the start only the choice is kept; the virtual screen opens at the start.
  controller_->SetDisplayId(1);
  EXPECT_TRUE(controller_->IsExtend());
  EXPECT_TRUE(source_->Calls().empty());
  EXPECT_FALSE(driver_->virtual_monitor_on());

  controller_->AddOutputCallback("a", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_TRUE(driver_->virtual_monitor_on());
  // Stop (the pipeline was not running), switch to the new monitor, start.
  EXPECT_EQ(source_->Calls(), (Calls{"Stop", "Pause", "SetMonitor 1", "Resume", "Start", "Start"}));
  const auto monitors = desktop_->GetMonitors();
  ASSERT_EQ(monitors.size(), 2u);
  EXPECT_EQ(monitors[1].rect.width, 1920);
  EXPECT_EQ(monitors[1].rect.height, 1080);

  // Back to the main screen while running: capture moves first, then the monitor goes.
  source_->ClearCalls();
  controller_->SetDisplayId(0);
  EXPECT_FALSE(controller_->IsExtend());
  EXPECT_EQ(source_->Calls(), (Calls{"Pause", "SetMonitor 0", "Resume"}));
  EXPECT_FALSE(driver_->virtual_monitor_on());
  EXPECT_EQ(desktop_->GetMonitors().size(), 1u);
}

TEST_F(GlobalSourceControllerTest, FailedVirtualScreenKeepsTheMainMonitor) {
  auto script = driver_->script();
  script.version.reset();  // no way to a virtual monitor on this system
  driver_->SetScript(script);
  // A real second display is present: it must not be captured in its place.
  AddDesksSecondMonitor();

  controller_->SetDisplayId(1);
  controller_->AddOutputCallback("a", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_EQ(source_->Calls(), (Calls{"Stop", "Start", "Start"}));
}

// On a desk with a second monitor of its own, the monitor the plug adds is captured,
// not the user's second one.
TEST_F(GlobalSourceControllerTest, ExtendedScreenBesideTwoMonitorsCapturesTheAddedOne) {
  const platform::screen::Monitor second = AddDesksSecondMonitor();

  controller_->SetDisplayId(1);
  controller_->AddOutputCallback("a", [](uint8_t*, uint32_t, uint64_t) {});
  controller_->Start();
  EXPECT_EQ(source_->Calls(), (Calls{"Stop", "Pause", "SetMonitor 2", "Resume", "Start", "Start"}));
  const auto monitors = desktop_->GetMonitors();
  ASSERT_EQ(monitors.size(), 3u);
  EXPECT_EQ(monitors[2].name, ScreenUtils::kVirtualMonitorName);
  EXPECT_EQ(monitors[2].rect.width, 1920);
  EXPECT_EQ(monitors[1].rect, second.rect);
}

// A consumer that cannot hand its sample on (the receiver reads nothing) blocks the
// sink thread; a stop of the pipeline releases it instead of hanging, and the stream
// flows again afterwards.
TEST_F(GlobalSourceControllerTest, StallingConsumerCannotHangAPipelineStop) {
  source_->run_sink = true;
  VideoProvider provider(controller_);
  provider.Start();
  // Two packets wait, the sink holds the third.
  std::vector<uint8_t> packet;
  for (int i = 0; i < 10000 && provider.Queued() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(provider.Queued(), 2u);

  auto toggled = std::async(std::launch::async, [&] { controller_->SetHardwareEnabled(false); });
  ASSERT_EQ(toggled.wait_for(kBound), std::future_status::ready) << "the hardware toggle hangs";

  // Re-armed: only two packets were waiting, so a third offer needs a new sample.
  auto flowed = std::async(std::launch::async, [&] {
    std::vector<uint8_t> taken;
    return provider.OfferPacket(taken) && provider.OfferPacket(taken) && provider.OfferPacket(taken);
  });
  const bool flowing = flowed.wait_for(kBound) == std::future_status::ready;
  EXPECT_TRUE(flowing) << "no sample after the restart";
  if (flowing) {
    EXPECT_TRUE(flowed.get());
  }

  auto stopped = std::async(std::launch::async, [&] { provider.Stop(); });
  ASSERT_EQ(stopped.wait_for(kBound), std::future_status::ready) << "the stop hangs";
  EXPECT_FALSE(controller_->IsRunning());
  EXPECT_FALSE(provider.OfferPacket(packet));
}

// Only an attached display that calls itself the virtual monitor is resized.
TEST(ScreenUtils, ChangeResolutionTouchesOnlyTheVirtualMonitor) {
  auto desktop = std::make_shared<platform::screen::SimDesktop>();
  ScreenUtils utils(std::make_shared<platform::screen::SimDisplayTopology>(desktop), false);
  const auto before = desktop->GetMonitors();
  utils.ChangeResolution();
  EXPECT_EQ(desktop->GetMonitors()[0].rect, before[0].rect);
  EXPECT_EQ(utils.CountMonitors(), 1);

  platform::screen::SimDisplayTopology::PlugMonitor(desktop, true, "Other Monitor", 800, 600);
  platform::screen::SimDisplayTopology::PlugMonitor(desktop, true, ScreenUtils::kVirtualMonitorName,
                                                    1024, 768);
  EXPECT_EQ(utils.CountMonitors(), 3);
  utils.ChangeResolution();
  const auto after = desktop->GetMonitors();
  EXPECT_EQ(after[1].rect, (platform::screen::Rect{before[0].rect.width, 0, 800, 600}));
  EXPECT_EQ(after[2].rect.width, 1920);
  EXPECT_EQ(after[2].rect.height, 1080);
  EXPECT_EQ(utils.ExtendDesktop(), 0);
}

// The monitor a plug added, found by what the monitors call themselves.
TEST(ScreenUtils, AddedMonitorIsTheOneTheListBeforeLacks) {
  const std::string v = ScreenUtils::kVirtualMonitorName;
  struct Case {
    const char* what;
    std::vector<std::string> before, after;
    int expected;
  };
  const Case cases[] = {
      {"after the only one", {"Main"}, {"Main", v}, 1},
      {"after two of the desk", {"Main", "Projector"}, {"Main", "Projector", v}, 2},
      {"listed between them", {"Main", "Projector"}, {"Main", v, "Projector"}, 1},
      {"beside two of one model", {"Office 24", "Office 24"}, {"Office 24", "Office 24", v}, 2},
      {"open already: its own name", {"Main", v}, {"Main", v}, 1},
      {"nothing added", {"Main", "Projector"}, {"Main", "Projector"}, -1},
      {"one went", {"Main", "Projector"}, {"Main"}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScreenUtils::AddedMonitorIndex(c.before, c.after), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace crcp::video
