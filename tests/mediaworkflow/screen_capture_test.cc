#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/videosource/dxgi_capture_impl.h"
#include "mediaworkflow/videosource/gdi_capture_impl.h"
#include "mediaworkflow/videosource/screen_source_win.h"
#include "platform/screen/shared_area.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"

namespace mediaworkflow::videosource {
namespace {

using platform::screen::AcquireResult;
using platform::screen::Monitor;
using platform::screen::PointerShapeInfo;
using platform::screen::Rect;
using platform::screen::SimDesktop;
using platform::screen::SimScreenSystem;
using namespace std::chrono_literals;

constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kRed = 0xFFFF0000u;

uint32_t PixelAt(buffer::ImageBuffer& f, int x, int y) {
  uint32_t v;
  std::memcpy(&v, f.GetData() + y * f.GetStride() + x * 4, 4);
  return v;
}

// A still desktop painted blue with a visible red 4x4 pointer at (10, 10).
class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_->SetAnimated(false);
    desktop_->FillRect(Rect{0, 0, 640, 360}, kBlue);
    PointerShapeInfo info{platform::screen::kPointerColor, 4, 4, 16, 0, 0};
    std::vector<uint8_t> bytes(64);
    for (int i = 0; i < 16; ++i) std::memcpy(&bytes[i * 4], &kRed, 4);
    desktop_->SetPointerShape(info, bytes);
    desktop_->SetPointer(10, 10, true);
  }
  std::shared_ptr<SimDesktop> desktop_ = std::make_shared<SimDesktop>();
  SimScreenSystem system_{desktop_};
};

TEST_F(CaptureTest, DuplicationDrawsVisiblePointerOnlyAndTimesOutWhenStill) {
  DXGICaptureImpl capture(&system_);
  ASSERT_TRUE(capture.Init(0));
  auto frame = capture.GetFrame(true);
  ASSERT_TRUE(frame);
  int w = 0, h = 0;
  frame->GetSize(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  EXPECT_EQ(PixelAt(*frame, 11, 11), kRed);
  EXPECT_EQ(PixelAt(*frame, 20, 20), kBlue);
  // Nothing changed: no frame within the 100 ms wait.
  EXPECT_FALSE(capture.GetFrame(true));

  desktop_->SetPointer(10, 10, false);
  frame = capture.GetFrame(true);
  ASSERT_TRUE(frame);
  EXPECT_EQ(PixelAt(*frame, 11, 11), kBlue);  // hidden pointer is not drawn

  desktop_->SetPointer(10, 10, true);
  frame = capture.GetFrame(false);  // drawing off
  ASSERT_TRUE(frame);
  EXPECT_EQ(PixelAt(*frame, 11, 11), kBlue);
}

TEST_F(CaptureTest, DuplicationFailuresYieldNoFrameAndRecoverAsDesigned) {
  DXGICaptureImpl capture(&system_);
  ASSERT_TRUE(capture.Init(0));
  ASSERT_EQ(desktop_->DuplicationsCreated(), 1);
  struct Case {
    AcquireResult result;
    int duplications_after;  // a lost or invalid duplication is made again lazily
  };
  const Case cases[] = {{AcquireResult::kAccessLost, 2}, {AcquireResult::kInvalidCall, 3},
                        {AcquireResult::kDeviceRemoved, 3}, {AcquireResult::kError, 3}};
  for (const Case& c : cases) {
    desktop_->InjectAcquireResults({c.result});
    EXPECT_FALSE(capture.GetFrame(true)) << platform::screen::ToString(c.result);
    desktop_->FillRect(Rect{0, 0, 1, 1}, kBlue);  // damage, so the next pass has a frame
    EXPECT_TRUE(capture.GetFrame(true)) << platform::screen::ToString(c.result);
    EXPECT_EQ(desktop_->DuplicationsCreated(), c.duplications_after);
  }
}

TEST_F(CaptureTest, FrameWithoutSurfaceIsDroppedAtTheSource) {
  DXGICaptureImpl dxgi(&system_);
  ASSERT_TRUE(dxgi.Init(0));
  desktop_->FailSurfaceCreations(1);
  EXPECT_FALSE(dxgi.GetFrame(true));
  desktop_->FillRect(Rect{0, 0, 1, 1}, kBlue);
  EXPECT_TRUE(dxgi.GetFrame(true));

  GDICaptureImpl gdi(&system_);
  ASSERT_TRUE(gdi.Init(0));
  desktop_->FailSurfaceCreations(1);
  EXPECT_FALSE(gdi.GetFrame(true));
  EXPECT_TRUE(gdi.GetFrame(true));
}

TEST_F(CaptureTest, BlitPathDrawsCursorAtHotSpotClippedToMonitor) {
  desktop_->SetMonitors({Monitor{Rect{0, 0, 320, 200}, false, "L"},
                         Monitor{Rect{320, 0, 640, 360}, true, "P"}});
  desktop_->FillRect(Rect{0, 0, 960, 360}, kBlue);
  PointerShapeInfo info{platform::screen::kPointerColor, 4, 4, 16, 2, 2};
  std::vector<uint8_t> bytes(64);
  for (int i = 0; i < 16; ++i) std::memcpy(&bytes[i * 4], &kRed, 4);
  desktop_->SetPointerShape(info, bytes);
  desktop_->SetPointer(321, 1, true);  // hot spot 1 px inside the primary's top-left

  GDICaptureImpl gdi(&system_);
  ASSERT_TRUE(gdi.Init(0));
  auto frame = gdi.GetFrame(true);
  ASSERT_TRUE(frame);
  EXPECT_EQ(PixelAt(*frame, 0, 0), kRed);
  EXPECT_EQ(PixelAt(*frame, 2, 2), kRed);   // shape covers -1..2: 0..2 drawn
  EXPECT_EQ(PixelAt(*frame, 3, 3), kBlue);
  desktop_->SetPointer(321, 1, false);
  frame = gdi.GetFrame(true);
  ASSERT_TRUE(frame);
  EXPECT_EQ(PixelAt(*frame, 0, 0), kBlue);
}

struct MonitorCase {
  const char* name;
  std::vector<Monitor> monitors;
  int index;
  Rect expected;
};

class GdiMonitorSelectionTest : public ::testing::TestWithParam<MonitorCase> {};

TEST_P(GdiMonitorSelectionTest, PicksPrimaryForZeroTheIndexedOtherOrFirstOtherElsePrimary) {
  auto desktop = std::make_shared<SimDesktop>();
  desktop->SetMonitors(GetParam().monitors);
  SimScreenSystem system(desktop);
  GDICaptureImpl gdi(&system);
  ASSERT_TRUE(gdi.Init(GetParam().index));
  EXPECT_EQ(gdi.rect(), GetParam().expected);
  auto frame = gdi.GetFrame(false);
  ASSERT_TRUE(frame);
  int w = 0, h = 0;
  frame->GetSize(&w, &h);
  EXPECT_EQ(w, GetParam().expected.width);
}

const Monitor kA{Rect{0, 0, 320, 200}, false, "A"};
const Monitor kP{Rect{320, 0, 640, 360}, true, "P"};
const Monitor kB{Rect{960, 0, 200, 100}, false, "B"};
INSTANTIATE_TEST_SUITE_P(
    Cases, GdiMonitorSelectionTest,
    ::testing::Values(MonitorCase{"zero_is_primary", {kA, kP, kB}, 0, kP.rect},
                      MonitorCase{"one_is_first_other", {kA, kP, kB}, 1, kA.rect},
                      // The monitor at the index when that is not the primary: the
                      // one a plug added beside two of the user's.
                      MonitorCase{"two_is_the_monitor_at_two", {kA, kP, kB}, 2, kB.rect},
                      MonitorCase{"added_after_two_of_the_desk", {kP, kA, kB}, 2, kB.rect},
                      MonitorCase{"past_the_end_is_first_other", {kA, kP, kB}, 3, kA.rect},
                      MonitorCase{"one_with_single_monitor_is_primary", {kP}, 1, kP.rect}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Both paths tell the input side which monitor the picture shows, follow a new
// selection and let go when they end; a capture that ends after another began leaves
// the newer one's area in place.
TEST(CaptureSharedAreaTest, CaptureAnnouncesTheMonitorItTakesUntilItEnds) {
  auto desktop = std::make_shared<SimDesktop>();
  const Monitor left{Rect{0, 0, 320, 200}, false, "A"};
  const Monitor main{Rect{320, 0, 640, 360}, true, "P"};
  desktop->SetMonitors({main, left});
  SimScreenSystem system(desktop);
  auto& shared = platform::screen::SharedArea::Instance();
  using Make = std::unique_ptr<ScreenCaptureImpl> (*)(platform::screen::ScreenSystem*);
  const std::pair<const char*, Make> paths[] = {
      {"duplication",
       [](platform::screen::ScreenSystem* s) -> std::unique_ptr<ScreenCaptureImpl> {
         return std::make_unique<DXGICaptureImpl>(s);
       }},
      {"blit",
       [](platform::screen::ScreenSystem* s) -> std::unique_ptr<ScreenCaptureImpl> {
         return std::make_unique<GDICaptureImpl>(s);
       }},
  };
  for (const auto& [name, make] : paths) {
    SCOPED_TRACE(name);
    auto capture = make(&system);
    ASSERT_TRUE(capture->Init(0));
    auto area = shared.Current();
    ASSERT_TRUE(area);
    EXPECT_EQ(area->monitor, main.rect);
    EXPECT_EQ(area->desktop, (Rect{0, 0, 960, 360}));
    capture->SelectMonitor(1);
    ASSERT_TRUE(shared.Current());
    EXPECT_EQ(shared.Current()->monitor, left.rect);

    auto next = make(&system);
    ASSERT_TRUE(next->Init(0));
    capture.reset();
    ASSERT_TRUE(shared.Current());
    EXPECT_EQ(shared.Current()->monitor, main.rect);
    next.reset();
    EXPECT_FALSE(shared.Current());
  }
}

TEST(DxgiMonitorTest, IndexWithoutOutputFailsInit) {
  auto desktop = std::make_shared<SimDesktop>();
  SimScreenSystem system(desktop);
  DXGICaptureImpl dxgi(&system);
  EXPECT_FALSE(dxgi.Init(1));
  EXPECT_FALSE(dxgi.GetFrame(true));  // no output selected: no frame
}

TEST(CapturePacingTest, PeriodFromFrameRate) {
  EXPECT_EQ(ScreenSourceWin::PeriodMicros(30), 33333);
  EXPECT_EQ(ScreenSourceWin::PeriodMicros(20), 50000);
  EXPECT_EQ(ScreenSourceWin::PeriodMicros(60), 16666);
  EXPECT_EQ(ScreenSourceWin::PeriodMicros(0), 1000000);
}

// --- The running source ---

class SourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_->SetMonitors({Monitor{Rect{0, 0, 64, 48}, true, "P"},
                           Monitor{Rect{64, 0, 32, 16}, false, "S"}});
    queue_ = std::make_shared<ImageQueue>();
    source_ = std::make_unique<ScreenSourceWin>(
        [d = desktop_] { return std::make_unique<SimScreenSystem>(d); });
    source_->SetFrameRate(100);
    source_->SetOutput(queue_);
  }
  void TearDown() override {
    queue_->Stop();
    source_->Stop();
  }
  // Width of the next frame that arrives (0 when none within 2 s).
  int NextWidth() {
    std::shared_ptr<buffer::ImageBuffer> f;
    if (!queue_->WaitDequeueTimed(f, 2 * 1000 * 1000) || !f) return 0;
    int w = 0, h = 0;
    f->GetSize(&w, &h);
    EXPECT_NE(f->GetData(), nullptr);
    return w;
  }
  int WidthAfterDrain() {
    std::shared_ptr<buffer::ImageBuffer> f;
    for (int i = 0; i < 4; ++i) NextWidth();  // frames captured before the change
    return NextWidth();
  }
  bool WaitBackend(CaptureBackend want) {
    for (int i = 0; i < 200 && source_->ActiveBackend() != want; ++i) std::this_thread::sleep_for(10ms);
    return source_->ActiveBackend() == want;
  }
  std::shared_ptr<SimDesktop> desktop_ = std::make_shared<SimDesktop>();
  std::shared_ptr<ImageQueue> queue_;
  std::unique_ptr<ScreenSourceWin> source_;
};

TEST_F(SourceTest, ChoosesDuplicationWhenAllowedElseBlit) {
  ASSERT_TRUE(source_->Start());
  EXPECT_TRUE(WaitBackend(CaptureBackend::kDuplication));
  EXPECT_EQ(NextWidth(), 64);
  source_->Stop();

  source_->SetHardwareEnabled(false);  // takes effect at the next start
  source_->Start();
  EXPECT_TRUE(WaitBackend(CaptureBackend::kBlit));
  EXPECT_EQ(NextWidth(), 64);
  source_->Stop();

  source_->SetHardwareEnabled(true);
  desktop_->SetDuplicationAvailable(false);  // duplication fails to start: blit
  source_->Start();
  EXPECT_TRUE(WaitBackend(CaptureBackend::kBlit));
  EXPECT_EQ(NextWidth(), 64);
  source_->Stop();

  desktop_->SetBlitAvailable(false);  // no desktop at all: no frames, still stoppable
  std::shared_ptr<buffer::ImageBuffer> left;
  while (queue_->WaitDequeueTimed(left, 0)) left.reset();
  source_->Start();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(source_->ActiveBackend(), CaptureBackend::kNone);
  EXPECT_EQ(queue_->Size(), 0);
}

TEST(SourceWithoutDesktopTest, UnreachableDesktopGivesNoFramesAndStopsCleanly) {
  auto queue = std::make_shared<ImageQueue>();
  ScreenSourceWin source([] { return std::unique_ptr<platform::screen::ScreenSystem>(); });
  source.SetOutput(queue);
  ASSERT_TRUE(source.Start());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(source.ActiveBackend(), CaptureBackend::kNone);
  EXPECT_EQ(queue->Size(), 0);
  EXPECT_TRUE(source.Stop());
}

TEST_F(SourceTest, MonitorChangeWaitsForResumeAndDisplayChangeReselects) {
  ASSERT_TRUE(source_->Start());
  EXPECT_EQ(NextWidth(), 64);
  source_->Pause();
  source_->SetMonitor(1);
  EXPECT_EQ(WidthAfterDrain(), 64);  // paused: frames flow, the setting waits
  source_->Resume();
  EXPECT_EQ(WidthAfterDrain(), 32);

  // The captured monitor changes size: the duplication is lost and made again.
  desktop_->SetMonitors({Monitor{Rect{0, 0, 64, 48}, true, "P"},
                         Monitor{Rect{64, 0, 40, 16}, false, "S"}});
  EXPECT_EQ(WidthAfterDrain(), 40);
}

TEST_F(SourceTest, FrameRateChangeRecomputesPeriod) {
  ASSERT_TRUE(source_->Start());
  NextWidth();
  EXPECT_EQ(source_->CurrentPeriodMicros(), 10000);
  source_->SetFrameRate(20);
  for (int i = 0; i < 100 && source_->CurrentPeriodMicros() != 50000; ++i) {
    NextWidth();
  }
  EXPECT_EQ(source_->CurrentPeriodMicros(), 50000);
}

TEST_F(SourceTest, StopReturnsWhileSourceBlocksOnFullQueue) {
  ASSERT_TRUE(source_->Start());
  for (int i = 0; i < 100 && queue_->Size() < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(queue_->Size(), 2);  // the source now waits for a free slot
  queue_->Stop();
  EXPECT_TRUE(source_->Stop());
}

}  // namespace
}  // namespace mediaworkflow::videosource
