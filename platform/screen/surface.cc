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
      new Surface(width, height, stride, static_cast<uint8_t*>(memory)));
}

Surface::~Surface() { std::free(data_); }

std::atomic<uint64_t>& FrameCopyCounter() {
  static std::atomic<uint64_t> counter{0};
  return counter;
}

}  // namespace platform::screen
