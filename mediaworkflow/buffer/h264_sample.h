#pragma once

#include <cstdint>

namespace mediaworkflow::buffer {

// One encoded H.264 access unit (Annex B).
class H264Sample {
 public:
  virtual ~H264Sample() = default;
  virtual bool HasExtraData() = 0;
  virtual bool GetExtraData(uint8_t** data, int* length) = 0;
  virtual bool GetData(uint8_t** data, int* size) = 0;
  virtual uint64_t GetTimestamp() = 0;

  // Steady-clock microseconds at which the source frame was captured (latency
  // figures only; not part of the stream).
  int64_t capture_time_us() const { return capture_time_us_; }
  void set_capture_time_us(int64_t t) { capture_time_us_ = t; }

 private:
  int64_t capture_time_us_ = 0;
};

}  // namespace mediaworkflow::buffer
