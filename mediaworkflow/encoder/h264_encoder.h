#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "mediaworkflow/bounded_frame_queue.h"
#include "mediaworkflow/buffer/h264_sample.h"
#include "mediaworkflow/buffer/image_buffer.h"
#include "mediaworkflow/encoder/h264_enc_impl.h"
#include "mediaworkflow/encoder/video_encoder.h"
#include "mediaworkflow/looper.h"

namespace mediaworkflow::encoder {

using ImageQueue = BoundedFrameQueue<std::shared_ptr<buffer::ImageBuffer>>;
using SampleQueue = BoundedFrameQueue<std::shared_ptr<buffer::H264Sample>>;

// The encoding stage: takes the newest frame, re-encodes the last one for a while when
// the desktop is still, scales to the maximum output size and drives one back-end
// (hardware when allowed and present, x264 otherwise, x264 for good after a hardware
// error). Settings come from other threads; the encode thread applies them.
class H264Encoder : public VideoEncoder, public Looper {
 public:
  using ImplFactory = std::function<std::unique_ptr<H264EncImpl>()>;

  H264Encoder();
  ~H264Encoder() override;

  struct Size {
    int width;
    int height;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
  };
  static Size ComputeOutputSize(int width, int height, int max_width, int max_height);

  void SetBitrate(int kbps);
  void SetFrameRate(int frame_rate);
  void SetQualityMode(bool quality_mode);
  void SetHardwareEnabled(bool enabled);
  void RequestKeyFrame();
  void SetOutputSize(int max_width, int max_height);
  void SetInput(std::weak_ptr<ImageQueue> input);
  void SetOutput(std::weak_ptr<SampleQueue> output);
  // The hardware back-end's maker; the default asks the hardware probe.
  void SetHardwareFactory(ImplFactory factory);

  bool HardwareEnabled() const { return hardware_enabled_.load(); }
  Size OutputSize() const;

 protected:
  void WorkFunc() override;

 private:
  void ResetEncoder();
  // Encodes `frame`; returns false when there is no back-end.
  bool EncodeFrame(const std::shared_ptr<buffer::ImageBuffer>& frame);

  std::atomic<bool> hardware_enabled_{true};
  std::atomic<bool> quality_mode_{false};
  std::atomic<bool> key_frame_requested_{false};

  mutable std::mutex mutex_;  // guards the settings, sizes, queues and the factory
  int frame_rate_ = 30;
  int bitrate_ = 0;
  int input_width_ = 0;
  int input_height_ = 0;
  int output_width_ = 0;
  int output_height_ = 0;
  int max_output_width_ = 1920;
  int max_output_height_ = 1080;
  std::weak_ptr<ImageQueue> input_;
  std::weak_ptr<SampleQueue> output_;
  ImplFactory hardware_factory_;

  std::unique_ptr<H264EncImpl> impl_;  // encode thread only
};

}  // namespace mediaworkflow::encoder
