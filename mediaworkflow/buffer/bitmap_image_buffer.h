#pragma once

#include <cstdint>
#include <memory>

#include "mediaworkflow/buffer/image_buffer.h"
#include "mediaworkflow/buffer/surface_pool.h"
#include "platform/screen/screen_system.h"

namespace mediaworkflow::buffer {

// A frame of the blit path: a pooled bitmap the desktop rectangle is copied into.
class BitmapImageBuffer : public ImageBuffer {
 public:
  BitmapImageBuffer(platform::screen::ScreenSystem* dc, int width, int height,
                    std::shared_ptr<SurfacePool> pool);
  ~BitmapImageBuffer() override;

  bool GetSize(int* width, int* height) override;
  int GetFormat() override { return 3; }
  int GetStride() override { return bitmap_ ? bitmap_->stride() : width_ * 4; }
  uint8_t* GetData() override { return bits_; }

  // The bitmap to blit into; null when creation failed.
  platform::screen::Surface* bitmap() { return bitmap_.get(); }

 private:
  std::shared_ptr<SurfacePool> pool_;
  std::shared_ptr<platform::screen::Surface> bitmap_;
  int width_;
  int height_;
  uint8_t* bits_ = nullptr;
};

}  // namespace mediaworkflow::buffer
