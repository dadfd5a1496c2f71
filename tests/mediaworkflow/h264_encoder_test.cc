#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/encoder/h264_encoder.h"
#include "mediaworkflow/encoder/hardware_probe.h"
#include "mediaworkflow/encoder/qsv_h264_imp.h"
#include "mediaworkflow/encoder/x264_impl.h"
#include "mediaworkflow/sink/output_sink.h"
#include "platform/screen/sim_desktop.h"
#include "tests/mediaworkflow/h264_test_util.h"
#include "tests/mediaworkflow/scripted_media_sdk_session.h"

namespace mediaworkflow::encoder {
namespace {

using namespace std::chrono_literals;
using testing_util::DecodedStream;
using testing_util::DecodeH264;
using testing_util::HasIdr;

// A frame in plain memory.
class TestImage : public buffer::ImageBuffer {
 public:
  TestImage(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0) {}
  bool GetSize(int* w, int* h) override { *w = w_; *h = h_; return true; }
  int GetFormat() override { return 3; }
  int GetStride() override { return w_ * 4; }
  uint8_t* GetData() override { return px_.data(); }
 private:
  int w_, h_;
  std::vector<uint8_t> px_;
};

// The synthetic desktop's picture at the given size (still, no pointer).
std::shared_ptr<TestImage> DesktopImage(int w, int h) {
  platform::screen::SimDesktop desktop;
  desktop.SetAnimated(false);
  desktop.SetMonitors({platform::screen::Monitor{platform::screen::Rect{0, 0, w, h}, true, "T"}});
  auto img = std::make_shared<TestImage>(w, h);
  desktop.ReadPixels(platform::screen::Rect{0, 0, w, h}, img->GetData(), img->GetStride());
  return img;
}

std::shared_ptr<TestImage> NoiseImage(int w, int h, uint32_t seed) {
  auto img = std::make_shared<TestImage>(w, h);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; ++i) img->GetData()[i] = static_cast<uint8_t>(rng());
  return img;
}

struct Collected {
  std::vector<std::vector<uint8_t>> samples;
  std::vector<uint8_t> Stream() const {
    std::vector<uint8_t> all;
    for (auto& s : samples) all.insert(all.end(), s.begin(), s.end());
    return all;
  }
};

H264EncImpl::OutputCallback CollectInto(Collected* c) {
  return [c](std::shared_ptr<buffer::H264Sample> s) {
    uint8_t* d = nullptr;
    int n = 0;
    s->GetData(&d, &n);
    c->samples.emplace_back(d, d + n);
  };
}

TEST(OutputSizeTest, FitsIntoMaximumKeepingAspect) {
  struct Case { int w, h, max_w, max_h, out_w, out_h; };
  const Case cases[] = {
      {2560, 1440, 1920, 1080, 1920, 1080}, {1920, 1080, 1920, 1080, 1920, 1080},
      {1366, 767, 1920, 1080, 1366, 767},   {1280, 720, 1920, 1080, 1280, 720},
      {3840, 1080, 1920, 1080, 1920, 540},  {1920, 500, 1920, 1080, 1920, 500},
      {640, 360, 320, 180, 320, 180},       {0, 0, 1920, 1080, 0, 0},
  };
  for (const Case& c : cases) {
    auto out = H264Encoder::ComputeOutputSize(c.w, c.h, c.max_w, c.max_h);
    EXPECT_EQ(out.width, c.out_w) << c.w << "x" << c.h;
    EXPECT_EQ(out.height, c.out_h) << c.w << "x" << c.h;
  }
}

TEST(X264ImplTest, BitrateDefaultsAndCap) {
  EXPECT_EQ(X264Impl::EffectiveBitrate(0, 1920, 1080, true), 8784);
  EXPECT_EQ(X264Impl::EffectiveBitrate(0, 1920, 1080, false), 7800);
  EXPECT_EQ(X264Impl::EffectiveBitrate(20000, 1920, 1080, true), 10000);
  EXPECT_EQ(X264Impl::EffectiveBitrate(4000, 1920, 1080, false), 4000);
}

TEST(X264ImplTest, UnopenedOrFailedInitRefusesToEncode) {
  X264Impl x264;
  auto img = DesktopImage(64, 32);
  EXPECT_NE(x264.Encode(img, false), 0);
  EXPECT_NE(x264.Init(0, 0, 0, 0, 30, 0), 0);
  EXPECT_NE(x264.Encode(img, false), 0);
  ASSERT_EQ(x264.Init(64, 32, 64, 32, 30, 0), 0);
  EXPECT_NE(x264.Encode(nullptr, false), 0);
  x264.Close();
  EXPECT_NE(x264.Encode(img, false), 0);
}

TEST(X264ImplTest, OddOutputIsRoundedUpAndDecodesToThatSize) {
  X264Impl x264;
  Collected out;
  x264.SetOutputCallback(CollectInto(&out));
  ASSERT_EQ(x264.Init(1366, 767, 1366, 767, 30, 0), 0);
  EXPECT_EQ(x264.width(), 1366);
  EXPECT_EQ(x264.height(), 768);
  ASSERT_EQ(x264.Encode(DesktopImage(1366, 767), false), 0);
  DecodedStream d;
  std::string err;
  if (!DecodeH264(out.Stream(), &d, &err)) {
    if (testing_util::FindTool("ffmpeg").empty()) GTEST_SKIP() << err;
    FAIL() << err;
  }
  EXPECT_EQ(d.width, 1366);
  EXPECT_EQ(d.height, 768);
}

class X264QualityTest : public ::testing::TestWithParam<bool> {};

TEST_P(X264QualityTest, DecodedFrameMatchesTheDesktopAndScalesDown) {
  const bool quality = GetParam();
  auto img = DesktopImage(320, 180);
  for (bool scaled : {false, true}) {
    X264Impl x264;
    Collected out;
    x264.SetQualityMode(quality);
    x264.SetOutputCallback(CollectInto(&out));
    const int ow = scaled ? 160 : 320, oh = scaled ? 90 : 180;
    ASSERT_EQ(x264.Init(320, 180, ow, oh, 30, 0), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(x264.Encode(img, i == 0), 0);
    ASSERT_EQ(out.samples.size(), 5u);
    EXPECT_TRUE(HasIdr(out.samples[0]));
    EXPECT_FALSE(HasIdr(out.samples[1]));
    DecodedStream d;
    std::string err;
    if (!DecodeH264(out.Stream(), &d, &err)) {
      if (testing_util::FindTool("ffmpeg").empty()) GTEST_SKIP() << err;
      FAIL() << err;
    }
    EXPECT_EQ(d.width, ow);
    EXPECT_EQ(d.height, oh);
    EXPECT_EQ(d.frames, 5);
    if (!scaled) {
      double diff = testing_util::MeanAbsDiff(d.last_frame_bgra.data(), ow * 4, img->GetData(),
                                              img->GetStride(), ow, oh);
      EXPECT_LT(diff, 4.0) << "decoded frame strays from the desktop image";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, X264QualityTest, ::testing::Values(false, true));

TEST(X264ImplTest, OversizedAccessUnitIsDroppedAndNextFrameIsIdr) {
  X264Impl x264(2000);
  Collected out;
  x264.SetOutputCallback(CollectInto(&out));
  ASSERT_EQ(x264.Init(128, 128, 128, 128, 30, 0), 0);
  ASSERT_EQ(x264.Encode(NoiseImage(128, 128, 1), true), 0);  // far above 2000 bytes
  EXPECT_TRUE(out.samples.empty());
  auto flat = std::make_shared<TestImage>(128, 128);
  std::memset(flat->GetData(), 0x40, 128 * 128 * 4);
  ASSERT_EQ(x264.Encode(flat, false), 0);
  ASSERT_EQ(out.samples.size(), 1u);
  EXPECT_LE(out.samples[0].size(), 2000u);
  EXPECT_TRUE(HasIdr(out.samples[0]));
  ASSERT_EQ(x264.Encode(flat, false), 0);
  ASSERT_EQ(out.samples.size(), 2u);
  EXPECT_FALSE(HasIdr(out.samples[1]));
}

TEST(HardwareProbeTest, WithoutQuickSyncThereIsNoHardwareEncoder) {
  if (HardwareEncoderAvailable()) GTEST_SKIP() << "this machine has a Quick Sync device";
  EXPECT_EQ(CreateHardwareEncoder(), nullptr);
}

// --- The encoding stage with its queues and a sink ---

class FakeHardware : public H264EncImpl {
 public:
  FakeHardware(bool init_ok, std::atomic<int>* encodes) : init_ok_(init_ok), encodes_(encodes) {}
  int Init(int, int, int, int, int, int) override { return init_ok_ ? 0 : -1; }
  void Close() override {}
  int Encode(std::shared_ptr<buffer::ImageBuffer>, bool) override {
    ++*encodes_;
    return -17;
  }
  bool IsHardware() override { return true; }
 private:
  bool init_ok_;
  std::atomic<int>* encodes_;
};

class EncoderStageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    encoder_.SetInput(images_);
    encoder_.SetOutput(samples_);
    sink_.SetInput(samples_);
    sink_.SetOutputCallback([this](uint8_t* d, unsigned n, uint64_t) {
      std::lock_guard<std::mutex> lock(mutex_);
      got_.emplace_back(d, d + n);
      cv_.notify_all();
    });
  }
  void TearDown() override {
    images_->Stop();
    samples_->Stop();
    encoder_.Stop();
    sink_.Stop();
  }
  void Start() {
    ASSERT_TRUE(encoder_.Start());
    ASSERT_TRUE(sink_.Start());
  }
  bool WaitCount(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 5s, [&] { return got_.size() >= n; });
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return got_.size();
  }
  std::vector<uint8_t> Sample(size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return got_.at(i);
  }

  std::shared_ptr<ImageQueue> images_ = std::make_shared<ImageQueue>();
  std::shared_ptr<SampleQueue> samples_ = std::make_shared<SampleQueue>();
  H264Encoder encoder_;
  sink::OutputSink sink_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::vector<uint8_t>> got_;
};

TEST_F(EncoderStageTest, StillDesktopReencodesHalfASecondOfTimeoutsThenKeyFrameOnRequest) {
  encoder_.SetFrameRate(30);
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  // The frame itself, then one re-encode for each of the fps/2 + 1 time-outs.
  const size_t expected = 1 + 30 / 2 + 1;
  ASSERT_TRUE(WaitCount(expected));
  std::this_thread::sleep_for(300ms);  // more than four time-outs of 66 ms
  EXPECT_EQ(Count(), expected);
  EXPECT_TRUE(HasIdr(Sample(0)));
  EXPECT_FALSE(HasIdr(Sample(1)));

  encoder_.RequestKeyFrame();
  ASSERT_TRUE(WaitCount(expected + 1));
  EXPECT_TRUE(HasIdr(Sample(expected)));
  // The request restarts the count of time-outs: another round of re-encodes, each
  // a plain frame, then quiet again.
  ASSERT_TRUE(WaitCount(2 * expected));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Count(), 2 * expected);
  for (size_t i = expected + 1; i < 2 * expected; ++i) EXPECT_FALSE(HasIdr(Sample(i))) << i;
}

TEST_F(EncoderStageTest, HardwareErrorFallsBackToX264ForGood) {
  std::atomic<int> hw_encodes{0};
  std::atomic<int> hw_made{0};
  encoder_.SetHardwareFactory([&] {
    ++hw_made;
    return std::make_unique<FakeHardware>(true, &hw_encodes);
  });
  Start();
  auto img = DesktopImage(64, 32);
  images_->Enqueue(img);
  ASSERT_TRUE(WaitCount(1));
  EXPECT_EQ(hw_encodes.load(), 1);
  EXPECT_FALSE(encoder_.HardwareEnabled());
  EXPECT_TRUE(HasIdr(Sample(0)) || HasIdr(Sample(1)));
  images_->Enqueue(DesktopImage(64, 32));
  ASSERT_TRUE(WaitCount(3));
  EXPECT_EQ(hw_made.load(), 1);  // never asked again after the error
}

TEST_F(EncoderStageTest, HardwareInitFailureUsesX264AndKeepsHardwareAllowed) {
  std::atomic<int> hw_encodes{0};
  encoder_.SetHardwareFactory([&] { return std::make_unique<FakeHardware>(false, &hw_encodes); });
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  ASSERT_TRUE(WaitCount(1));
  EXPECT_EQ(hw_encodes.load(), 0);
  EXPECT_TRUE(encoder_.HardwareEnabled());
}

TEST_F(EncoderStageTest, WithoutQuickSyncTheDefaultBackEndIsX264) {
  if (HardwareEncoderAvailable()) GTEST_SKIP() << "this machine has a Quick Sync device";
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  ASSERT_TRUE(WaitCount(1));
  EXPECT_TRUE(HasIdr(Sample(0)));
  EXPECT_TRUE(encoder_.HardwareEnabled());
}

TEST_F(EncoderStageTest, ForcedQuickSyncThatCannotOpenLeavesX264) {
  if (HardwareEncoderAvailable()) GTEST_SKIP() << "this machine has a Quick Sync device";
  // The real back-end on the real dispatcher, past the probe: every memory
  // configuration fails to open a session, and x264 takes the same sizes.
  encoder_.SetHardwareFactory([] { return std::make_unique<QSVH264Imp>(); });
  testing::internal::CaptureStderr();
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  const bool got = WaitCount(1);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(got);
  EXPECT_TRUE(HasIdr(Sample(0)));
  EXPECT_TRUE(encoder_.HardwareEnabled());  // an Init failure is not an encode error
  EXPECT_NE(err.find("Return on error: error code "), std::string::npos);
}

TEST_F(EncoderStageTest, QuickSyncSamplesGoOutAndAnEncodeErrorMeansX264ForGood) {
  auto script = std::make_shared<testing_util::SessionScript>();
  script->payload_size = 1000;
  script->results["EncodeFrameAsync"] = {MFX_ERR_NONE, MFX_ERR_DEVICE_FAILED};
  std::atomic<int> hw_made{0};
  encoder_.SetHardwareFactory([&] {
    ++hw_made;
    return std::make_unique<QSVH264Imp>(
        std::make_unique<testing_util::ScriptedMediaSdkSession>(script));
  });
  testing::internal::CaptureStderr();
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  const bool got = WaitCount(3);
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(got);
  // The first sample is the hardware's, whole; after the error x264 restarts the
  // stream with an IDR.
  EXPECT_EQ(Sample(0).size(), 1000u);
  EXPECT_TRUE(HasIdr(Sample(1)));
  EXPECT_FALSE(encoder_.HardwareEnabled());
  EXPECT_EQ(hw_made.load(), 1);
  EXPECT_EQ(script->Count("EncodeFrameAsync"), 2u);
}

TEST_F(EncoderStageTest, OutputSizeFollowsMaximumAndInput) {
  Start();
  images_->Enqueue(DesktopImage(640, 360));
  ASSERT_TRUE(WaitCount(1));
  EXPECT_EQ(encoder_.OutputSize(), (H264Encoder::Size{640, 360}));  // below the 1920x1080 maximum
  encoder_.SetOutputSize(320, 180);
  EXPECT_EQ(encoder_.OutputSize(), (H264Encoder::Size{320, 180}));
  encoder_.SetOutputSize(320, 180);  // unchanged: nothing
  encoder_.SetOutputSize(4000, 4000);
  EXPECT_EQ(encoder_.OutputSize(), (H264Encoder::Size{640, 360}));
}

TEST_F(EncoderStageTest, WithoutABackEndNothingIsEncodedUntilSettingsAllowOne) {
  encoder_.SetOutputSize(0, 0);  // no encoder can open at 0x0, x264 fallback included
  Start();
  images_->Enqueue(DesktopImage(64, 32));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Count(), 0u);
  encoder_.SetOutputSize(32, 16);  // the change resets the encoder with a usable size
  ASSERT_TRUE(WaitCount(1));
  EXPECT_TRUE(HasIdr(Sample(0)));
}

TEST_F(EncoderStageTest, FullSampleQueueMakesEncoderBackOffNotBlock) {
  sink_.SetOutputCallback(nullptr);  // nobody drains the samples
  Start();
  // One frame is enough: its re-encodes fill the sample queue.
  images_->Enqueue(DesktopImage(64, 32));
  for (int i = 0; i < 300 && samples_->Size() < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(samples_->Size(), 2);
  // The encoder is not blocked inside an enqueue: a plain stop returns.
  EXPECT_TRUE(encoder_.Stop());
}

}  // namespace
}  // namespace mediaworkflow::encoder
