#include "mediaworkflow/buffer/d3d_texture_image_buffer.h"

#include "mediaworkflow/buffer/pointer_drawing.h"
#include "utils/logger.h"

namespace mediaworkflow::buffer {

namespace {
const char* const kLogTag = "MediaWorkflow::D3DTextureImageBuffer";
}  // namespace

D3DTextureImageBuffer::D3DTextureImageBuffer(platform::screen::ScreenSystem* device, int width,
                                             int height, std::shared_ptr<SurfacePool> pool)
    : width_(width), height_(height), pool_(std::move(pool)) {
  std::shared_ptr<platform::screen::Surface> pooled;
  if (pool_ && pool_->try_dequeue(pooled) && pooled && pooled->width() == width &&
      pooled->height() == height) {
    texture_ = std::move(pooled);
  } else {
    // A surface of another size (after a mode change) is let go here.
    pooled.reset();
    if (device != nullptr) texture_ = device->CreateSurface(width, height);
  }
}

D3DTextureImageBuffer::~D3DTextureImageBuffer() {
  mapped_ = nullptr;
  if (texture_ && pool_) pool_->enqueue(std::move(texture_));
}

bool D3DTextureImageBuffer::GetSize(int* width, int* height) {
  *width = width_;
  *height = height_;
  return true;
}

void D3DTextureImageBuffer::Map() {
  if (!texture_) {
    LOG_INFO("map error");
    return;
  }
  mapped_ = texture_.get();
  pitch_ = mapped_->stride();
  bits_ = mapped_->data();
}

void D3DTextureImageBuffer::DrawCursor(int x, int y, const platform::screen::PointerShapeInfo& shape,
                                       const std::vector<uint8_t>& shape_bytes) {
  if (bits_ == nullptr) return;
  DrawPointerShape(bits_, width_, height_, pitch_, x, y, shape, shape_bytes.data(),
                   shape_bytes.size());
}

}  // namespace mediaworkflow::buffer
