#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/screen_pipeline.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"
#include "tests/mediaworkflow/h264_test_util.h"

namespace mediaworkflow {
namespace {

using namespace std::chrono_literals;
using platform::screen::Monitor;
using platform::screen::Rect;
using platform::screen::SimDesktop;

// Collects the stream the output callback hands out.
class Output {
 public:
  ScreenPipeline::OutputCallback Callback() {
    return [this](uint8_t* d, unsigned n, uint64_t stamp) {
      std::lock_guard<std::mutex> lock(mutex_);
      EXPECT_EQ(stamp, 0u);
      samples_.emplace_back(d, d + n);
      cv_.notify_all();
    };
  }
  bool WaitCount(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 5s, [&] { return samples_.size() >= n; });
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_.size();
  }
  std::vector<uint8_t> Stream() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> all;
    for (auto& s : samples_) all.insert(all.end(), s.begin(), s.end());
    return all;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    samples_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::vector<uint8_t>> samples_;
};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = std::make_shared<SimDesktop>();
    pipeline_ = std::make_unique<ScreenPipeline>([this] {
      ++desktops_made_;
      return std::make_unique<platform::screen::SimScreenSystem>(desktop_);
    });
    pipeline_->SetOutputCallback(output_.Callback());
  }
  void TearDown() override { pipeline_.reset(); }

  void ExpectDecodes(int w, int h, bool compare_with_desktop) {
    testing_util::DecodedStream d;
    std::string err;
    if (!testing_util::DecodeH264(output_.Stream(), &d, &err)) {
      if (testing_util::FindTool("ffmpeg").empty()) GTEST_SKIP() << err;
      FAIL() << err;
    }
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    if (compare_with_desktop) {
      std::vector<uint8_t> want(static_cast<size_t>(w) * h * 4);
      desktop_->ReadPixels(Rect{0, 0, w, h}, want.data(), w * 4);
      EXPECT_LT(testing_util::MeanAbsDiff(d.last_frame_bgra.data(), w * 4, want.data(), w * 4, w, h), 4.0);
    }
  }

  std::shared_ptr<SimDesktop> desktop_;
  std::atomic<int> desktops_made_{0};
  Output output_;
  std::unique_ptr<ScreenPipeline> pipeline_;
};

TEST_F(PipelineTest, StartStopPauseResumeFromAnyStateRepeatedly) {
  pipeline_->Stop();  // stopped: nothing
  pipeline_->Pause();
  pipeline_->Resume();
  for (int round = 0; round < 3; ++round) {
    output_.Clear();
    pipeline_->Start();
    pipeline_->Start();  // one set of threads
    EXPECT_TRUE(pipeline_->IsRunning());
    ASSERT_TRUE(output_.WaitCount(2)) << "round " << round;
    pipeline_->Pause();
    pipeline_->Pause();
    ASSERT_TRUE(output_.WaitCount(4));  // paused stages keep frames flowing
    pipeline_->Resume();
    pipeline_->Stop();
    pipeline_->Stop();
    EXPECT_FALSE(pipeline_->IsRunning());
    pipeline_->Resume();
  }
  EXPECT_EQ(desktops_made_.load(), 3);
}

TEST_F(PipelineTest, StreamDecodesToTheDesktopPicture) {
  desktop_->SetAnimated(false);
  pipeline_->SetDrawCursor(false);
  pipeline_->Start();
  ASSERT_TRUE(output_.WaitCount(5));
  pipeline_->Stop();
  ExpectDecodes(640, 360, true);
}

TEST_F(PipelineTest, OutputSizeScalesAndMissingMonitorFallsBackToPrimary) {
  pipeline_->SetOutputSize(320, 180);
  pipeline_->SetMonitor(1);  // one monitor only: the primary is captured
  pipeline_->Start();
  ASSERT_TRUE(output_.WaitCount(5));
  pipeline_->Stop();
  EXPECT_EQ(pipeline_->source().ActiveBackend(), videosource::CaptureBackend::kNone);
  ExpectDecodes(320, 180, false);
}

TEST_F(PipelineTest, HardwareSwitchRestartsOnceWithBlitCapture) {
  pipeline_->Start();
  ASSERT_TRUE(output_.WaitCount(1));
  for (int i = 0; i < 100 && pipeline_->source().ActiveBackend() != videosource::CaptureBackend::kDuplication; ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(pipeline_->source().ActiveBackend(), videosource::CaptureBackend::kDuplication);
  pipeline_->SetHardwareEnabled(true);  // unchanged: no restart
  EXPECT_EQ(desktops_made_.load(), 1);
  pipeline_->SetHardwareEnabled(false);
  EXPECT_TRUE(pipeline_->IsRunning());
  output_.Clear();
  ASSERT_TRUE(output_.WaitCount(2));
  EXPECT_EQ(desktops_made_.load(), 2);  // one restart
  EXPECT_EQ(pipeline_->source().ActiveBackend(), videosource::CaptureBackend::kBlit);
  EXPECT_FALSE(pipeline_->encoder().HardwareEnabled());
  pipeline_->Stop();
  pipeline_->SetHardwareEnabled(true);  // stopped: stays stopped
  EXPECT_FALSE(pipeline_->IsRunning());
}

TEST_F(PipelineTest, StopReleasesAnOutputCallbackBlockedOnAStalledReceiver) {
  std::mutex m;
  std::condition_variable cv;
  bool released = false;
  std::atomic<bool> entered{false};
  pipeline_->SetOutputCallback([&](uint8_t*, unsigned, uint64_t) {
    entered = true;
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return released; });  // the send ring is full and nobody reads
  });
  pipeline_->SetOutputInterrupt([&] {
    std::lock_guard<std::mutex> lock(m);
    released = true;
    cv.notify_all();
  });
  pipeline_->Start();
  for (int i = 0; i < 500 && !entered; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(entered.load());
  auto stopped = std::async(std::launch::async, [&] { pipeline_->Stop(); });
  ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
  EXPECT_FALSE(pipeline_->IsRunning());
}

TEST_F(PipelineTest, SettingsFromAnotherThreadWhileRunning) {
  pipeline_->Start();
  std::atomic<bool> stop{false};
  std::thread tuner([&] {
    int i = 0;
    while (!stop) {
      pipeline_->SetBitrate(i % 2 ? 2000 : 0);
      pipeline_->SetFrameRate(i % 2 ? 30 : 60);
      pipeline_->SetOutputSize(i % 2 ? 320 : 640, i % 2 ? 180 : 360);
      pipeline_->SetQualityMode(i % 2 == 0);
      pipeline_->SetDrawCursor(i % 3 == 0);
      pipeline_->RequestKeyFrame();
      if (i % 5 == 0) pipeline_->Pause(); else pipeline_->Resume();
      ++i;
      std::this_thread::sleep_for(5ms);
    }
  });
  ASSERT_TRUE(output_.WaitCount(10));
  stop = true;
  tuner.join();
  pipeline_->Stop();
}

}  // namespace
}  // namespace mediaworkflow
