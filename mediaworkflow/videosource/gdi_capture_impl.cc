#include "mediaworkflow/videosource/gdi_capture_impl.h"

#include "mediaworkflow/buffer/bitmap_image_buffer.h"
#include "mediaworkflow/buffer/pointer_drawing.h"
#include "platform/screen/shared_area.h"
#include "utils/logger.h"

namespace mediaworkflow::videosource {

namespace {
const char* const kLogTag = "MediaWorkflow::ScreenSourceWin";
}  // namespace

GDICaptureImpl::GDICaptureImpl(platform::screen::ScreenSystem* system)
    : system_(system), pool_(std::make_shared<buffer::SurfacePool>()) {}

GDICaptureImpl::~GDICaptureImpl() {
  platform::screen::SharedArea::Instance().Withdraw(this);
  blitter_.reset();
}

bool GDICaptureImpl::Init(int monitor) {
  if (system_ == nullptr) return false;
  blitter_ = system_->CreateBlitter();
  if (!blitter_) return false;
  SelectMonitor(monitor);
  return true;
}

bool GDICaptureImpl::SelectMonitor(int monitor) {
  monitor_ = monitor;
  rect_ = platform::screen::Rect{};
  const auto monitors = system_->EnumerateMonitors();
  const platform::screen::Monitor* chosen = nullptr;
  const platform::screen::Monitor* primary = nullptr;
  for (const auto& m : monitors) {
    if (m.primary && primary == nullptr) primary = &m;
    if (chosen == nullptr && m.primary == (monitor == 0)) chosen = &m;
  }
  // An index that names a monitor other than the primary means that one (the monitor
  // a plug added, which the duplication path finds at the same index); otherwise the
  // first of the others stands for "not the main monitor".
  if (monitor > 0 && monitor < static_cast<int>(monitors.size()) && !monitors[monitor].primary)
    chosen = &monitors[monitor];
  // No monitor for the index (index 1 with one monitor): the primary one, never a
  // 0x0 rectangle.
  if (chosen == nullptr) {
    if (primary == nullptr && !monitors.empty()) primary = &monitors.front();
    if (primary != nullptr) LOG_WARN("no monitor for index {}, capturing the primary", monitor);
    chosen = primary;
  }
  auto& shared = platform::screen::SharedArea::Instance();
  if (chosen != nullptr) {
    rect_ = chosen->rect;
    shared.Publish(this, {rect_, platform::screen::SharedArea::Bounds(monitors)});
  } else {
    shared.Withdraw(this);
  }
  return true;
}

std::shared_ptr<buffer::ImageBuffer> GDICaptureImpl::GetFrame(bool draw_cursor) {
  if (!blitter_ || rect_.width <= 0 || rect_.height <= 0) return nullptr;
  auto frame = std::make_shared<buffer::BitmapImageBuffer>(system_, rect_.width, rect_.height, pool_);
  if (frame->bitmap() == nullptr || frame->GetData() == nullptr) return nullptr;
  if (!blitter_->Blit(rect_, frame->bitmap())) return nullptr;
  if (draw_cursor) {
    platform::screen::CursorImage c = blitter_->GetCursor();
    if (c.visible && !c.pixels.empty()) {
      const int x = c.x - rect_.left - c.hot_x;
      const int y = c.y - rect_.top - c.hot_y;
      platform::screen::PointerShapeInfo shape{platform::screen::kPointerColor, c.width, c.height,
                                               c.width * 4, c.hot_x, c.hot_y};
      buffer::DrawPointerShape(frame->GetData(), rect_.width, rect_.height, frame->GetStride(), x, y,
                               shape, c.pixels.data(), c.pixels.size());
    }
  }
  return frame;
}

}  // namespace mediaworkflow::videosource
