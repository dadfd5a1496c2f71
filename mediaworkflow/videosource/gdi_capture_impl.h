#pragma once

#include <memory>

#include "mediaworkflow/buffer/surface_pool.h"
#include "mediaworkflow/videosource/screen_capture_impl.h"
#include "platform/screen/screen_system.h"

namespace mediaworkflow::videosource {

// Capture over the blit path: copies the monitor's rectangle into a pooled bitmap at
// every call and draws the current cursor.
class GDICaptureImpl : public ScreenCaptureImpl {
 public:
  explicit GDICaptureImpl(platform::screen::ScreenSystem* system);
  ~GDICaptureImpl() override;

  bool Init(int monitor) override;
  bool Uninit() override { return true; }
  // 0: the primary monitor; any other index: the monitor at that index in
  // enumeration order when it is not the primary, else the first non-primary monitor,
  // else the primary. The monitor chosen is published as the shared area.
  bool SelectMonitor(int monitor) override;
  std::shared_ptr<buffer::ImageBuffer> GetFrame(bool draw_cursor) override;

  platform::screen::Rect rect() const { return rect_; }

 private:
  platform::screen::ScreenSystem* system_;
  std::unique_ptr<platform::screen::ScreenBlitter> blitter_;
  int monitor_ = 0;
  platform::screen::Rect rect_;
  std::shared_ptr<buffer::SurfacePool> pool_;
};

}  // namespace mediaworkflow::videosource
