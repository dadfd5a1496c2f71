#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace platform::screen {

// A CPU-readable BGRA image of a fixed size: the stand-in for a staging texture or a
// DIB section. Rows of a surface in ordinary memory are 64-byte aligned so the vector
// kernels of the colour conversion run on whole rows.
class Surface {
 public:
  // What owns the pixels of a surface whose memory a back-end provides (a shared-
  // memory segment the display server writes into). The back-end recognises its own
  // surfaces by it; it is released with the surface, on whichever thread drops it.
  class Backing {
   public:
    virtual ~Backing() = default;
  };

  // Null when the memory cannot be had (the failed create of a texture or bitmap).
  static std::shared_ptr<Surface> Create(int width, int height);
  // A surface over `data` (rows `stride` bytes apart), which `backing` keeps alive.
  static std::shared_ptr<Surface> Wrap(int width, int height, int stride, uint8_t* data,
                                       std::unique_ptr<Backing> backing);

  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  // Null for a surface in ordinary memory.
  Backing* backing() const { return backing_.get(); }

 private:
  Surface(int width, int height, int stride, uint8_t* data, std::unique_ptr<Backing> backing)
      : width_(width), height_(height), stride_(stride), data_(data), backing_(std::move(backing)) {}
  int width_;
  int height_;
  int stride_;
  uint8_t* data_;
  std::unique_ptr<Backing> backing_;
};

// Counts whole-frame pixel copies made by the capture back-ends (a copy out of the
// desktop image into a pooled surface), so benchmarks can report copies per frame. A
// display server writing the image straight into a frame's own shared memory is the
// capture itself, not a copy of ours.
std::atomic<uint64_t>& FrameCopyCounter();

}  // namespace platform::screen
