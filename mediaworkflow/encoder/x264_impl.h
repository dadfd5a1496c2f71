#pragma once

#include <cstdint>
#include <vector>

#include "mediaworkflow/buffer/mem_h264_sample.h"
#include "mediaworkflow/encoder/h264_enc_impl.h"

struct x264_t;

namespace mediaworkflow::encoder {

// The software back-end: libyuv scales (box filter) and converts BGRA to NV12, x264
// encodes with one thread, tune "zerolatency" and key frames only on request.
class X264Impl : public H264EncImpl {
 public:
  // `max_sample_size`: an access unit longer than this is dropped (and the next frame
  // made an IDR) instead of overflowing the sample buffer.
  explicit X264Impl(int max_sample_size = buffer::MemH264Sample::kMaxSize);
  ~X264Impl() override;

  // The kbit/s the encoder runs at: the default for the size when `bitrate` is 0,
  // capped at 10000.
  static int EffectiveBitrate(int bitrate, int width, int height, bool quality_mode);

  int Init(int input_width, int input_height, int output_width, int output_height,
           int frame_rate, int bitrate) override;
  void Close() override;
  int Encode(std::shared_ptr<buffer::ImageBuffer> frame, bool force_key_frame) override;
  bool IsHardware() override { return false; }

  int width() const { return width_; }
  int height() const { return height_; }
  bool opened() const { return opened_; }

 private:
  struct Picture;

  std::vector<uint8_t> scratch_;
  x264_t* encoder_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool opened_ = false;
  Picture* picture_ = nullptr;
  int max_sample_size_;
  bool force_idr_next_ = false;
  int64_t pts_ = 0;
};

}  // namespace mediaworkflow::encoder
