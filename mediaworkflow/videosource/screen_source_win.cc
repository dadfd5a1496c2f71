#include "mediaworkflow/videosource/screen_source_win.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "mediaworkflow/videosource/dxgi_capture_impl.h"
#include "mediaworkflow/videosource/gdi_capture_impl.h"
#include "utils/logger.h"

namespace mediaworkflow::videosource {

namespace {
const char* const kLogTag = "MediaWorkflow::ScreenSourceWin";

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

ScreenSourceWin::ScreenSourceWin(SystemFactory factory) : factory_(std::move(factory)) {
  if (!factory_) factory_ = [] { return platform::screen::ScreenSystem::Create(); };
}

ScreenSourceWin::~ScreenSourceWin() { Looper::Stop(); }

int64_t ScreenSourceWin::PeriodMicros(int frame_rate) {
  return 1000000 / (frame_rate > 0 ? frame_rate : 1);
}

void ScreenSourceWin::SetMonitor(int monitor) {
  if (monitor_.exchange(monitor) == monitor) return;
  reselect_.store(true);
  dirty_.store(true);
}

void ScreenSourceWin::SetFrameRate(int frame_rate) {
  if (frame_rate_.exchange(frame_rate) == frame_rate) return;
  new_period_.store(true);
  dirty_.store(true);
}

void ScreenSourceWin::SetDrawCursor(bool draw_cursor) {
  if (draw_cursor_.exchange(draw_cursor) == draw_cursor) return;
  dirty_.store(true);
}

void ScreenSourceWin::SetHardwareEnabled(bool dxgi_allowed) { dxgi_allowed_.store(dxgi_allowed); }

void ScreenSourceWin::SetOutput(std::weak_ptr<ImageQueue> output) {
  std::lock_guard<std::mutex> lock(output_mutex_);
  output_ = std::move(output);
}

bool ScreenSourceWin::Start() {
  Looper::Start();
  LOG_INFO("Start");
  return true;
}

bool ScreenSourceWin::Stop() {
  Looper::Stop();
  LOG_INFO("Stop");
  return true;
}

std::unique_ptr<ScreenCaptureImpl> ScreenSourceWin::CreateCaptureImpl(
    platform::screen::ScreenSystem* system) {
  std::printf("CreateCaptureImpl\n");
  const int monitor = monitor_.load();
  std::unique_ptr<ScreenCaptureImpl> impl;
  if (system != nullptr && dxgi_allowed_.load()) {
    impl = std::make_unique<DXGICaptureImpl>(system);
    if (impl->Init(monitor)) {
      active_.store(CaptureBackend::kDuplication);
      return impl;
    }
    impl.reset();
  }
  if (system != nullptr) {
    impl = std::make_unique<GDICaptureImpl>(system);
    if (impl->Init(monitor)) {
      active_.store(CaptureBackend::kBlit);
      return impl;
    }
    impl.reset();
  }
  LOG_ERROR("no capture back-end: the desktop cannot be reached");
  active_.store(CaptureBackend::kNone);
  return nullptr;
}

void ScreenSourceWin::WorkFunc() {
  // The desktop and the back-end belong to this thread: made here, gone at loop end.
  std::unique_ptr<platform::screen::ScreenSystem> system = factory_();
  std::unique_ptr<ScreenCaptureImpl> capture = CreateCaptureImpl(system.get());
  dirty_.store(false);
  reselect_.store(false);
  new_period_.store(false);
  int64_t period = PeriodMicros(frame_rate_.load());
  period_us_.store(period);
  LOG_INFO("Enter capture loop");
  while (running_.load()) {
    if (system && system->TakeDisplayChange()) {
      reselect_.store(true);
      dirty_.store(true);
    }
    if (!paused_.load() && dirty_.load()) {
      dirty_.store(false);
      if (reselect_.exchange(false) && capture) capture->SelectMonitor(monitor_.load());
      if (new_period_.exchange(false)) {
        period = PeriodMicros(frame_rate_.load());
        period_us_.store(period);
      }
    }
    std::shared_ptr<ImageQueue> queue;
    {
      std::lock_guard<std::mutex> lock(output_mutex_);
      queue = output_.lock();
    }
    if (!queue) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    const int64_t began = NowUs();
    if (capture) {
      std::shared_ptr<buffer::ImageBuffer> frame = capture->GetFrame(draw_cursor_.load());
      int w = 0, h = 0;
      // Back-ends return only frames with pixels; a zero-size frame never leaves here.
      if (frame && frame->GetData() != nullptr && frame->GetSize(&w, &h) && w > 0 && h > 0) {
        frame->set_capture_time_us(began);
        if (!queue->IsStopped()) queue->Enqueue(std::move(frame));
      }
    }
    queue.reset();
    const int64_t left = period - (NowUs() - began);
    if (left > 0) std::this_thread::sleep_for(std::chrono::microseconds(left));
  }
  LOG_INFO("Exit capture loop");
  capture.reset();
  system.reset();
  active_.store(CaptureBackend::kNone);
}

}  // namespace mediaworkflow::videosource
