#include "mediaworkflow/encoder/x264_impl.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <x264.h>
}
#include <libyuv/convert_from_argb.h>
#include <libyuv/scale_argb.h>

#include "utils/logger.h"

namespace mediaworkflow::encoder {

namespace {
const char* const kLogTag = "MediaWorklfow::H264Encoder";
constexpr int kMaxBitrate = 10000;
}  // namespace

struct X264Impl::Picture {
  x264_picture_t pic;
};

X264Impl::X264Impl(int max_sample_size)
    : max_sample_size_(std::clamp(max_sample_size, 0, buffer::MemH264Sample::kMaxSize)) {}

X264Impl::~X264Impl() { Close(); }

int X264Impl::EffectiveBitrate(int bitrate, int width, int height, bool quality_mode) {
  if (bitrate == 0) {
    bitrate = quality_mode ? width * height / 400 + 3600 : width * height / 432 + 3000;
  }
  return std::min(bitrate, kMaxBitrate);
}

int X264Impl::Init(int input_width, int input_height, int output_width, int output_height,
                   int frame_rate, int bitrate) {
  Close();
  width_ = (output_width + 1) & ~1;
  height_ = (output_height + 1) & ~1;
  if (width_ <= 0 || height_ <= 0 || frame_rate <= 0) return -1;

  x264_param_t param;
  if (x264_param_default_preset(&param, quality_mode_ ? "veryfast" : "ultrafast", "zerolatency") < 0) {
    return -1;
  }
  const int b = EffectiveBitrate(bitrate, width_, height_, quality_mode_);
  param.i_threads = 1;
  param.i_width = width_;
  param.i_height = height_;
  param.i_csp = X264_CSP_NV12;
  param.i_fps_num = static_cast<uint32_t>(frame_rate);
  param.i_fps_den = 1;
  param.i_keyint_max = 1 << 30;  // key frames only when asked for
  param.i_log_level = X264_LOG_WARNING;
  param.rc.i_rc_method = X264_RC_ABR;
  param.rc.i_bitrate = b;
  param.rc.i_vbv_max_bitrate = static_cast<int>(b * 1.1);
  param.rc.i_vbv_buffer_size = quality_mode_ ? static_cast<int>(b * 1.1) : static_cast<int>(b * 0.8);
  param.rc.i_qp_max = quality_mode_ ? 40 : 45;
  param.rc.b_filler = 0;
  param.b_opencl = 0;

  encoder_ = x264_encoder_open(&param);
  if (encoder_ == nullptr) return -1;
  picture_ = new Picture();
  if (x264_picture_alloc(&picture_->pic, X264_CSP_NV12, width_, height_) < 0) {
    delete picture_;
    picture_ = nullptr;
    x264_encoder_close(encoder_);
    encoder_ = nullptr;
    return -1;
  }
  opened_ = true;
  force_idr_next_ = false;
  pts_ = 0;
  return 0;
}

void X264Impl::Close() {
  if (!opened_) return;
  x264_encoder_close(encoder_);
  encoder_ = nullptr;
  x264_picture_clean(&picture_->pic);
  delete picture_;
  picture_ = nullptr;
  opened_ = false;
}

int X264Impl::Encode(std::shared_ptr<buffer::ImageBuffer> frame, bool force_key_frame) {
  if (!opened_) return -1;
  if (!frame || frame->GetData() == nullptr) return -2;
  int fw = 0, fh = 0;
  frame->GetSize(&fw, &fh);
  if (fw <= 0 || fh <= 0) return -2;

  x264_picture_t& pic = picture_->pic;
  const bool idr = force_key_frame || force_idr_next_;
  pic.i_type = idr ? X264_TYPE_IDR : X264_TYPE_AUTO;
  pic.i_pts = pts_++;

  const uint8_t* src = frame->GetData();
  int src_stride = frame->GetStride();
  if (fw != width_ || fh != height_) {
    const size_t need = static_cast<size_t>(width_) * height_ * 4;
    if (scratch_.size() < need) scratch_.resize(need);
    int r = libyuv::ARGBScale(src, src_stride, fw, fh, scratch_.data(), width_ * 4, width_, height_,
                              libyuv::kFilterBox);
    if (r != 0) return r;
    src = scratch_.data();
    src_stride = width_ * 4;
  }
  int r = libyuv::ARGBToNV12(src, src_stride, pic.img.plane[0], pic.img.i_stride[0],
                             pic.img.plane[1], pic.img.i_stride[1], width_, height_);
  if (r != 0) return r;

  x264_nal_t* nals = nullptr;
  int nal_count = 0;
  x264_picture_t out;
  const int size = x264_encoder_encode(encoder_, &nals, &nal_count, &pic, &out);
  if (size < 0) return -3;
  if (idr) force_idr_next_ = false;
  if (size == 0 || !callback_) return 0;
  if (size > max_sample_size_) {
    // It cannot be handed out whole; dropping it breaks the reference chain, so the
    // next frame restarts the stream with an IDR.
    LOG_ERROR("access unit of {} bytes exceeds the sample buffer of {}: dropped", size,
              max_sample_size_);
    force_idr_next_ = true;
    return 0;
  }
  auto sample = std::make_shared<buffer::MemH264Sample>(size);
  // The payloads of one encode call are contiguous, starting at the first unit's.
  std::memcpy(sample->data(), nals[0].p_payload, static_cast<size_t>(size));
  sample->SetSize(size);
  sample->set_capture_time_us(frame->capture_time_us());
  callback_(std::move(sample));
  return 0;
}

}  // namespace mediaworkflow::encoder
