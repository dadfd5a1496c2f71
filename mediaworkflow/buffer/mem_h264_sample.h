#pragma once

#include <cstdint>
#include <vector>

#include "mediaworkflow/buffer/h264_sample.h"

namespace mediaworkflow::buffer {

// A sample in memory. The buffer is at most kMaxSize bytes; a producer writes the
// access unit into data() and sets its length with SetSize, which refuses lengths
// beyond the buffer.
class MemH264Sample : public H264Sample {
 public:
  static constexpr int kMaxSize = 2 * 1024 * 1024;

  explicit MemH264Sample(int capacity);

  bool HasExtraData() override { return false; }
  bool GetExtraData(uint8_t**, int*) override { return false; }
  bool GetData(uint8_t** data, int* size) override;
  uint64_t GetTimestamp() override { return 0; }

  uint8_t* data() { return data_.data(); }
  int capacity() const { return static_cast<int>(data_.size()); }
  bool SetSize(int size);

 private:
  std::vector<uint8_t> data_;
  int size_ = 0;
};

}  // namespace mediaworkflow::buffer
