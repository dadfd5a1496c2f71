#pragma once

#include <cstdint>

namespace mediaworkflow::buffer {

// One captured frame: 32-bit BGRA, top row first.
class ImageBuffer {
 public:
  virtual ~ImageBuffer() = default;
  virtual bool GetSize(int* width, int* height) = 0;
  // 2 for a texture frame, 3 for a bitmap frame.
  virtual int GetFormat() = 0;
  virtual int GetStride() = 0;
  // First byte of the top row; null when the frame has no pixels (failed create or map).
  virtual uint8_t* GetData() = 0;

  // Steady-clock microseconds at which the capture produced the frame (for latency
  // figures; 0 when unknown).
  int64_t capture_time_us() const { return capture_time_us_; }
  void set_capture_time_us(int64_t t) { capture_time_us_ = t; }

 private:
  int64_t capture_time_us_ = 0;
};

}  // namespace mediaworkflow::buffer
