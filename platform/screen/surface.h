#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace platform::screen {

// A CPU-readable BGRA image of a fixed size: the stand-in for a staging texture or a
// DIB section. Rows are 64-byte aligned so the vector kernels of the colour
// conversion run on whole rows.
class Surface {
 public:
  // Null when the memory cannot be had (the failed create of a texture or bitmap).
  static std::shared_ptr<Surface> Create(int width, int height);

  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }

 private:
  Surface(int width, int height, int stride, uint8_t* data)
      : width_(width), height_(height), stride_(stride), data_(data) {}
  int width_;
  int height_;
  int stride_;
  uint8_t* data_;
};

// Counts whole-frame pixel copies made by the capture back-ends (the copy out of the
// desktop into a pooled surface), so benchmarks can report copies per frame.
std::atomic<uint64_t>& FrameCopyCounter();

}  // namespace platform::screen
