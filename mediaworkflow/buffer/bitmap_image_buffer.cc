#include "mediaworkflow/buffer/bitmap_image_buffer.h"

#include "utils/logger.h"

namespace mediaworkflow::buffer {

namespace {
const char* const kLogTag = "MediaWorkflow::D3DTextureImageBuffer";
}  // namespace

BitmapImageBuffer::BitmapImageBuffer(platform::screen::ScreenSystem* dc, int width, int height,
                                     std::shared_ptr<SurfacePool> pool)
    : pool_(std::move(pool)), width_(width), height_(height) {
  std::shared_ptr<platform::screen::Surface> pooled;
  if (pool_ && pool_->try_dequeue(pooled) && pooled && pooled->width() == width &&
      pooled->height() == height) {
    bitmap_ = std::move(pooled);
  } else {
    pooled.reset();
    LOG_INFO("CreateDIBSection");
    if (dc != nullptr) bitmap_ = dc->CreateSurface(width, height);
  }
  if (bitmap_) bits_ = bitmap_->data();
}

BitmapImageBuffer::~BitmapImageBuffer() {
  if (bitmap_ && pool_) pool_->enqueue(std::move(bitmap_));
}

bool BitmapImageBuffer::GetSize(int* width, int* height) {
  *width = width_;
  *height = height_;
  return true;
}

}  // namespace mediaworkflow::buffer
