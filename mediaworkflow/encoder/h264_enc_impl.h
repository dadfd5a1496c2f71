#pragma once

#include <functional>
#include <memory>

#include "mediaworkflow/buffer/h264_sample.h"
#include "mediaworkflow/buffer/image_buffer.h"

namespace mediaworkflow::encoder {

// One H.264 back-end (hardware or x264). Used from the encode thread only.
class H264EncImpl {
 public:
  using OutputCallback = std::function<void(std::shared_ptr<buffer::H264Sample>)>;

  virtual ~H264EncImpl() = default;
  // 0 on success.
  virtual int Init(int input_width, int input_height, int output_width, int output_height,
                   int frame_rate, int bitrate) = 0;
  virtual void Close() = 0;
  // 0 on success; an encoder that is not open returns an error.
  virtual int Encode(std::shared_ptr<buffer::ImageBuffer> frame, bool force_key_frame) = 0;
  virtual bool IsHardware() = 0;

  void SetQualityMode(bool quality_mode) { quality_mode_ = quality_mode; }
  void SetOutputCallback(OutputCallback callback) { callback_ = std::move(callback); }

 protected:
  OutputCallback callback_;
  bool quality_mode_ = false;
};

}  // namespace mediaworkflow::encoder
