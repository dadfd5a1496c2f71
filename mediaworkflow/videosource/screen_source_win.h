#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "mediaworkflow/bounded_frame_queue.h"
#include "mediaworkflow/buffer/image_buffer.h"
#include "mediaworkflow/looper.h"
#include "mediaworkflow/videosource/screen_capture_impl.h"
#include "mediaworkflow/videosource/screen_source.h"
#include "platform/screen/screen_system.h"

namespace mediaworkflow::videosource {

using ImageQueue = BoundedFrameQueue<std::shared_ptr<buffer::ImageBuffer>>;

// Which capture path the running source uses.
enum class CaptureBackend { kNone, kDuplication, kBlit };

// The screen source: on its own thread captures one monitor at a fixed frame rate,
// draws the pointer when asked and pushes each frame into the image queue. The
// duplication path is used when allowed and it starts; otherwise the blit path.
class ScreenSourceWin : public ScreenSource, public Looper {
 public:
  using SystemFactory = std::function<std::unique_ptr<platform::screen::ScreenSystem>()>;

  // `factory` makes the desktop on the capture thread; the default is
  // ScreenSystem::Create (X11, or the simulated desktop under CASTORA_PLATFORM=sim).
  explicit ScreenSourceWin(SystemFactory factory = nullptr);
  ~ScreenSourceWin() override;

  static int64_t PeriodMicros(int frame_rate);

  // Setters: a no-op when unchanged; applied by the capture thread unless paused.
  void SetMonitor(int monitor);
  void SetFrameRate(int frame_rate);
  void SetDrawCursor(bool draw_cursor);
  // Used at the next thread start.
  void SetHardwareEnabled(bool dxgi_allowed);
  void SetOutput(std::weak_ptr<ImageQueue> output);

  bool Start() override;
  bool Stop() override;

  CaptureBackend ActiveBackend() const { return active_.load(); }
  int64_t CurrentPeriodMicros() const { return period_us_.load(); }

 protected:
  void WorkFunc() override;

 private:
  std::unique_ptr<ScreenCaptureImpl> CreateCaptureImpl(platform::screen::ScreenSystem* system);

  SystemFactory factory_;
  std::atomic<int> monitor_{0};
  std::atomic<int> frame_rate_{30};
  std::atomic<bool> draw_cursor_{true};
  std::atomic<bool> dxgi_allowed_{true};
  std::mutex output_mutex_;
  std::weak_ptr<ImageQueue> output_;
  std::atomic<bool> reselect_{false};
  std::atomic<bool> new_period_{false};
  std::atomic<CaptureBackend> active_{CaptureBackend::kNone};
  std::atomic<int64_t> period_us_{0};
};

}  // namespace mediaworkflow::videosource
