#include "mediaworkflow/videosource/dxgi_capture_impl.h"

#include "mediaworkflow/buffer/d3d_texture_image_buffer.h"
#include "platform/screen/shared_area.h"
#include "utils/logger.h"

namespace mediaworkflow::videosource {

namespace {
const char* const kLogTag = "DXGICaptureImpl";
}  // namespace

using platform::screen::AcquireResult;

DXGICaptureImpl::DXGICaptureImpl(platform::screen::ScreenSystem* system)
    : system_(system), pool_(std::make_shared<buffer::SurfacePool>()) {}

DXGICaptureImpl::~DXGICaptureImpl() {
  platform::screen::SharedArea::Instance().Withdraw(this);
  duplication_.reset();
  std::shared_ptr<platform::screen::Surface> s;
  while (pool_->try_dequeue(s)) s.reset();
}

bool DXGICaptureImpl::Init(int monitor) {
  if (system_ == nullptr) return false;
  return SelectMonitor(monitor);
}

bool DXGICaptureImpl::SelectMonitor(int monitor) {
  first_frame_ = true;
  monitor_ = monitor;
  duplication_.reset();
  output_ = -1;
  auto monitors = system_->EnumerateMonitors();
  auto& shared = platform::screen::SharedArea::Instance();
  if (monitor < 0 || monitor >= static_cast<int>(monitors.size())) {
    shared.Withdraw(this);
    return false;
  }
  output_ = monitor;
  shared.Publish(this, {monitors[monitor].rect, platform::screen::SharedArea::Bounds(monitors)});
  duplication_ = system_->DuplicateOutput(output_);
  return duplication_ != nullptr;
}

std::shared_ptr<buffer::ImageBuffer> DXGICaptureImpl::GetFrame(bool draw_cursor) {
  if (first_frame_) first_frame_ = false;
  if (!duplication_) {
    // The output index vanished with a display change: look for it again, so capture
    // resumes when it comes back. Until then there is no frame.
    if (output_ < 0 && !SelectMonitor(monitor_)) return nullptr;
    if (!duplication_) duplication_ = system_->DuplicateOutput(output_);
    if (!duplication_) return nullptr;
  }
  platform::screen::FrameInfo info;
  const AcquireResult result = duplication_->AcquireNextFrame(kAcquireTimeoutMs, &info);
  switch (result) {
    case AcquireResult::kNewFrame:
      break;
    case AcquireResult::kTimeout:
      return nullptr;
    case AcquireResult::kInvalidCall:
      LOG_ERROR("DXGI_ERROR_INVALID_CALL");
      duplication_.reset();
      return nullptr;
    case AcquireResult::kAccessLost:
      duplication_->ReleaseFrame();
      duplication_.reset();
      LOG_ERROR("DXGI_ERROR_ACCESS_LOST");
      return nullptr;
    case AcquireResult::kDeviceRemoved:
      LOG_ERROR("DXGI_ERROR_DEVICE_REMOVED");
      return nullptr;
    default:
      LOG_ERROR("error: {}", platform::screen::ToString(result));
      return nullptr;
  }

  std::shared_ptr<buffer::D3DTextureImageBuffer> frame;
  if (info.width > 0 && info.height > 0) {
    frame = std::make_shared<buffer::D3DTextureImageBuffer>(system_, info.width, info.height, pool_);
  }
  const bool copied = frame && frame->texture() != nullptr && duplication_->CopyFrame(frame->texture());
  if (copied) frame->Map();
  if (info.pointer_updated) {
    pointer_x_ = info.pointer_x;
    pointer_y_ = info.pointer_y;
    pointer_visible_ = info.pointer_visible;
  }
  if (info.pointer_shape_size != 0) {
    if (shape_.size() < info.pointer_shape_size) shape_.resize(info.pointer_shape_size);
    if (!duplication_->GetFramePointerShape(&shape_, &shape_info_)) {
      LOG_INFO("GetFramePointerShape fail");
    }
  }
  duplication_->ReleaseFrame();
  // A frame whose surface could not be made, filled or mapped carries no pixels; it
  // goes no further than here.
  if (!copied || frame->GetData() == nullptr) {
    LOG_ERROR("frame dropped: no pixels for {}x{}", info.width, info.height);
    return nullptr;
  }
  if (draw_cursor && pointer_visible_) frame->DrawCursor(pointer_x_, pointer_y_, shape_info_, shape_);
  return frame;
}

}  // namespace mediaworkflow::videosource
