#include "mediaworkflow/buffer/mem_h264_sample.h"

#include <algorithm>

namespace mediaworkflow::buffer {

MemH264Sample::MemH264Sample(int capacity)
    : data_(static_cast<size_t>(std::clamp(capacity, 0, kMaxSize)), 0) {}

bool MemH264Sample::GetData(uint8_t** data, int* size) {
  *data = data_.data();
  *size = size_;
  return true;
}

bool MemH264Sample::SetSize(int size) {
  if (size < 0 || size > capacity()) return false;
  size_ = size;
  return true;
}

}  // namespace mediaworkflow::buffer
