#include "platform/screen/sim_screen_system.h"

namespace platform::screen {

namespace {

class SimDuplication : public OutputDuplication {
 public:
  SimDuplication(std::shared_ptr<SimDesktop> desktop, int index)
      : desktop_(std::move(desktop)), index_(index), generation_(desktop_->Generation()) {}

  AcquireResult AcquireNextFrame(int timeout_ms, FrameInfo* info) override {
    if (acquired_) return AcquireResult::kInvalidCall;  // the previous frame was not released
    AcquireResult r = desktop_->WaitForFrame(index_, generation_, timeout_ms, &seen_, info);
    acquired_ = r == AcquireResult::kNewFrame;
    return r;
  }
  bool CopyFrame(Surface* dst) override {
    return acquired_ && desktop_->CopyMonitor(index_, generation_, dst);
  }
  bool GetFramePointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) override {
    if (!acquired_) return false;
    desktop_->GetPointerShape(bytes, info);
    return true;
  }
  void ReleaseFrame() override { acquired_ = false; }

 private:
  std::shared_ptr<SimDesktop> desktop_;
  int index_;
  uint64_t generation_;
  SimDesktop::Seen seen_;
  bool acquired_ = false;
};

class SimBlitter : public ScreenBlitter {
 public:
  explicit SimBlitter(std::shared_ptr<SimDesktop> desktop) : desktop_(std::move(desktop)) {}
  bool Blit(const Rect& source, Surface* dst) override { return desktop_->BlitRect(source, dst); }
  CursorImage GetCursor() override { return desktop_->GetCursor(); }

 private:
  std::shared_ptr<SimDesktop> desktop_;
};

}  // namespace

SimScreenSystem::SimScreenSystem(std::shared_ptr<SimDesktop> desktop)
    : desktop_(std::move(desktop)), seen_generation_(desktop_->Generation()) {}

std::vector<Monitor> SimScreenSystem::EnumerateMonitors() { return desktop_->GetMonitors(); }

bool SimScreenSystem::TakeDisplayChange() { return desktop_->TakeDisplayChange(&seen_generation_); }

std::unique_ptr<OutputDuplication> SimScreenSystem::DuplicateOutput(int index) {
  if (!desktop_->DuplicationAvailable()) return nullptr;
  auto monitors = desktop_->GetMonitors();
  if (index < 0 || index >= static_cast<int>(monitors.size())) return nullptr;
  desktop_->NoteDuplicationCreated();
  return std::make_unique<SimDuplication>(desktop_, index);
}

std::shared_ptr<Surface> SimScreenSystem::CreateSurface(int width, int height) {
  if (desktop_->TakeSurfaceFailure()) return nullptr;
  return Surface::Create(width, height);
}

std::unique_ptr<ScreenBlitter> SimScreenSystem::CreateBlitter() {
  if (!desktop_->BlitAvailable()) return nullptr;
  return std::make_unique<SimBlitter>(desktop_);
}

}  // namespace platform::screen
