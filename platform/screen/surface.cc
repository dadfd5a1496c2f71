#include "platform/screen/surface.h"

#include <cstdlib>
#include <limits>

namespace platform::screen {

std::shared_ptr<Surface> Surface::Create(int width, int height) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  const int stride = (width * 4 + 63) & ~63;
  const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
  void* memory = std::aligned_alloc(64, bytes);
  if (memory == nullptr) return nullptr;
  return std::shared_ptr<Surface>(
      new Surface(width, height, stride, static_cast<uint8_t*>(memory), nullptr));
}

std::shared_ptr<Surface> Surface::Wrap(int width, int height, int stride, uint8_t* data,
                                       std::unique_ptr<Backing> backing) {
  if (width <= 0 || height <= 0 || stride < width * 4 || data == nullptr || !backing) return nullptr;
  return std::shared_ptr<Surface>(new Surface(width, height, stride, data, std::move(backing)));
}

Surface::~Surface() {
  if (backing_) {
    backing_.reset();  // the backing owns the pixels
  } else {
    std::free(data_);
  }
}

std::atomic<uint64_t>& FrameCopyCounter() {
  static std::atomic<uint64_t> counter{0};
  return counter;
}

}  // namespace platform::screen
