#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/screen/sim_desktop.h"
#include "services/video/source/mwf_screen_source.h"
#include "services/video/source/mwf_screen_source_controler.h"

namespace crcp::video {
namespace {

using namespace std::chrono_literals;

TEST(MWFScreenSourceTest, OffersOnlyExactlyH264) {
  MWFScreenSource source;
  EXPECT_EQ(source.GetSupportedCodecs(), (std::vector<std::string>{"h264"}));
  for (const char* codec : {"H264", "h2645", "h26", "", "hevc"}) {
    EXPECT_EQ(source.CreateController(codec), nullptr) << codec;
  }
  EXPECT_NE(source.CreateController("h264"), nullptr);
}

// Under CASTORA_PLATFORM=sim the controller's pipeline captures the simulated desktop.
TEST(MWFScreenSourceTest, ControllerRunsThePipelineAndRestartsOnHardwareSwitch) {
  platform::screen::SimDesktop::ResetShared();
  MWFScreenSource source;
  auto controller = source.CreateController("h264");
  ASSERT_NE(controller, nullptr);
  auto& pipeline = static_cast<MWFScreenSourceControler&>(*controller).pipeline();
  std::atomic<int> samples{0};
  controller->SetOutputCallback([&](uint8_t* data, unsigned size, uint64_t stamp) {
    EXPECT_NE(data, nullptr);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(stamp, 0u);
    ++samples;
  });
  // Settings before Start are applied when the stages run.
  controller->SetFrameRate(30);
  controller->SetBitrate(2000);
  controller->SetOutputSize(320, 180);
  controller->SetDrawCursor(true);
  controller->SetMonitor(0);
  controller->SetQualityMode(true);
  controller->Reserved(5);
  controller->SetEventCallback([](int) { ADD_FAILURE() << "the event callback is never invoked"; });
  EXPECT_FALSE(pipeline.IsRunning());
  controller->Start();
  for (int i = 0; i < 500 && samples < 3; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_GE(samples.load(), 3);
  EXPECT_EQ(pipeline.encoder().OutputSize().width, 320);

  controller->SetHardwareEnabled(false);  // stop, switch capture and encoder, start again
  EXPECT_TRUE(pipeline.IsRunning());
  for (int i = 0; i < 500 && pipeline.source().ActiveBackend() != mediaworkflow::videosource::CaptureBackend::kBlit; ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(pipeline.source().ActiveBackend(), mediaworkflow::videosource::CaptureBackend::kBlit);
  const int before = samples.load();
  controller->RequestKeyFrame();
  controller->Pause();
  controller->Resume();
  for (int i = 0; i < 500 && samples < before + 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_GE(samples.load(), before + 2);
  controller->Stop();
  EXPECT_FALSE(pipeline.IsRunning());
  controller->Start();
  controller.reset();  // destroying the controller stops its pipeline
}

}  // namespace
}  // namespace crcp::video
