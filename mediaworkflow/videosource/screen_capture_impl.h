#pragma once

#include <memory>

#include "mediaworkflow/buffer/image_buffer.h"

namespace mediaworkflow::videosource {

// A capture back-end. Lives on the capture thread from loop start to loop end.
class ScreenCaptureImpl {
 public:
  virtual ~ScreenCaptureImpl() = default;
  virtual bool Init(int monitor) = 0;
  virtual bool Uninit() = 0;
  virtual bool SelectMonitor(int monitor) = 0;
  // Empty when there is no new frame. A frame returned always has pixels.
  virtual std::shared_ptr<buffer::ImageBuffer> GetFrame(bool draw_cursor) = 0;
};

}  // namespace mediaworkflow::videosource
