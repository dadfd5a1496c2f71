#pragma once

#include <vector>

#include "platform/screen/screen_types.h"
#include "platform/screen/surface.h"

namespace platform::screen {

// The "duplication" path of one monitor: wait for the next changed desktop image, copy
// it into a surface, learn the pointer. Used from one thread only.
class OutputDuplication {
 public:
  virtual ~OutputDuplication() = default;

  // Waits at most `timeout_ms` for a new image. On kNewFrame, `info` holds the image
  // size and pointer news, and the frame stays acquired until ReleaseFrame.
  virtual AcquireResult AcquireNextFrame(int timeout_ms, FrameInfo* info) = 0;
  // Copies the acquired image into `dst` (same size); false when it cannot.
  virtual bool CopyFrame(Surface* dst) = 0;
  // The pointer shape of the acquired frame (when FrameInfo said it changed).
  virtual bool GetFramePointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) = 0;
  virtual void ReleaseFrame() = 0;
};

}  // namespace platform::screen
