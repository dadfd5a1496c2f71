#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mediaworkflow/buffer/image_buffer.h"
#include "mediaworkflow/buffer/surface_pool.h"
#include "platform/screen/screen_system.h"

namespace mediaworkflow::buffer {

// A frame of the duplication path: a pooled staging surface that the captured image
// is copied into once, then mapped for the CPU.
class D3DTextureImageBuffer : public ImageBuffer {
 public:
  // Takes a surface of this size from the pool or creates one on `device`.
  D3DTextureImageBuffer(platform::screen::ScreenSystem* device, int width, int height,
                        std::shared_ptr<SurfacePool> pool);
  ~D3DTextureImageBuffer() override;

  bool GetSize(int* width, int* height) override;
  int GetFormat() override { return 2; }
  int GetStride() override { return pitch_; }
  uint8_t* GetData() override { return bits_; }

  // The staging surface to copy the desktop image into; null when creation failed.
  platform::screen::Surface* texture() { return texture_.get(); }
  // Makes the pixels reachable through GetData; logs "map error" when it cannot.
  void Map();
  // Draws the pointer with its upper-left corner at `position`, clipped to the frame.
  void DrawCursor(int x, int y, const platform::screen::PointerShapeInfo& shape,
                  const std::vector<uint8_t>& shape_bytes);

 private:
  platform::screen::Surface* mapped_ = nullptr;
  int pitch_ = 0;
  uint8_t* bits_ = nullptr;
  int width_;
  int height_;
  std::shared_ptr<platform::screen::Surface> texture_;
  std::shared_ptr<SurfacePool> pool_;
};

}  // namespace mediaworkflow::buffer
