#pragma once

#include <memory>
#include <vector>

#include "mediaworkflow/buffer/surface_pool.h"
#include "mediaworkflow/videosource/screen_capture_impl.h"
#include "platform/screen/screen_system.h"

namespace mediaworkflow::videosource {

// Capture over the duplication path: waits up to 100 ms for a changed desktop image,
// has it put into a pooled staging surface and draws the pointer into it. On X11 the
// pooled surfaces are shared-memory segments the server writes the image into, so the
// frame handed on is that segment, with no copy of ours; a surface goes back to the
// pool only when its frame is dropped, so one still queued or being encoded is never
// written again.
class DXGICaptureImpl : public ScreenCaptureImpl {
 public:
  static constexpr int kAcquireTimeoutMs = 100;

  explicit DXGICaptureImpl(platform::screen::ScreenSystem* system);
  ~DXGICaptureImpl() override;

  bool Init(int monitor) override;
  bool Uninit() override { return true; }
  // The output at `monitor` in enumeration order, published as the shared area.
  bool SelectMonitor(int monitor) override;
  std::shared_ptr<buffer::ImageBuffer> GetFrame(bool draw_cursor) override;

 private:
  platform::screen::ScreenSystem* system_;
  std::shared_ptr<buffer::SurfacePool> pool_;
  bool first_frame_ = true;
  int monitor_ = 0;
  int output_ = -1;  // selected output index, -1 when none
  std::unique_ptr<platform::screen::OutputDuplication> duplication_;
  std::vector<uint8_t> shape_;
  platform::screen::PointerShapeInfo shape_info_;
  int pointer_x_ = 0;
  int pointer_y_ = 0;
  bool pointer_visible_ = false;
};

}  // namespace mediaworkflow::videosource
