#include "mediaworkflow/encoder/h264_encoder.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "mediaworkflow/encoder/hardware_probe.h"
#include "mediaworkflow/encoder/x264_impl.h"
#include "utils/logger.h"

namespace mediaworkflow::encoder {

namespace {
const char* const kLogTag = "MediaWorklfow::H264Encoder";
}  // namespace

H264Encoder::H264Encoder() : hardware_factory_([] { return CreateHardwareEncoder(); }) {}

H264Encoder::~H264Encoder() { Stop(); }

H264Encoder::Size H264Encoder::ComputeOutputSize(int w, int h, int max_w, int max_h) {
  if (w <= 0 || h <= 0) return Size{0, 0};
  if (w < max_w && h < max_h) return Size{w, h};
  const float s = std::min(static_cast<float>(max_w) / static_cast<float>(w),
                           static_cast<float>(max_h) / static_cast<float>(h));
  return Size{static_cast<int>(static_cast<float>(w) * s + 0.5f),
              static_cast<int>(static_cast<float>(h) * s + 0.5f)};
}

void H264Encoder::SetBitrate(int kbps) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bitrate_ == kbps) return;
  bitrate_ = kbps;
  dirty_.store(true);
}

void H264Encoder::SetFrameRate(int frame_rate) {
  if (frame_rate <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (frame_rate_ == frame_rate) return;
  frame_rate_ = frame_rate;
  dirty_.store(true);
}

void H264Encoder::SetQualityMode(bool quality_mode) {
  if (quality_mode_.exchange(quality_mode) != quality_mode) dirty_.store(true);
}

void H264Encoder::SetHardwareEnabled(bool enabled) { hardware_enabled_.store(enabled); }

void H264Encoder::RequestKeyFrame() { key_frame_requested_.store(true); }

void H264Encoder::SetOutputSize(int max_width, int max_height) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (max_output_width_ == max_width && max_output_height_ == max_height) return;
  max_output_width_ = max_width;
  max_output_height_ = max_height;
  Size out = ComputeOutputSize(input_width_, input_height_, max_width, max_height);
  if (out == Size{output_width_, output_height_}) return;
  output_width_ = out.width;
  output_height_ = out.height;
  dirty_.store(true);
}

void H264Encoder::SetInput(std::weak_ptr<ImageQueue> input) {
  std::lock_guard<std::mutex> lock(mutex_);
  input_ = std::move(input);
}

void H264Encoder::SetOutput(std::weak_ptr<SampleQueue> output) {
  std::lock_guard<std::mutex> lock(mutex_);
  output_ = std::move(output);
}

void H264Encoder::SetHardwareFactory(ImplFactory factory) {
  std::lock_guard<std::mutex> lock(mutex_);
  hardware_factory_ = std::move(factory);
}

H264Encoder::Size H264Encoder::OutputSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Size{output_width_, output_height_};
}

void H264Encoder::ResetEncoder() {
  std::printf("before ResetEncoder\n");
  int in_w, in_h, out_w, out_h, fps, bitrate;
  ImplFactory hardware;
  std::weak_ptr<SampleQueue> output;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    in_w = input_width_;
    in_h = input_height_;
    out_w = output_width_;
    out_h = output_height_;
    fps = frame_rate_;
    bitrate = bitrate_;
    hardware = hardware_factory_;
    output = output_;
  }
  impl_.reset();
  std::unique_ptr<H264EncImpl> impl;
  if (!hardware_enabled_.load()) {
    LOG_INFO("hardware encoding is off");
  } else if (hardware) {
    impl = hardware();  // says itself why when there is none
  }
  if (!impl) impl = std::make_unique<X264Impl>();
  std::printf("init encoder\n");
  impl->SetQualityMode(quality_mode_.load());
  if (impl->Init(in_w, in_h, out_w, out_h, fps, bitrate) != 0) {
    LOG_ERROR("encode config error in:{},{} out:{},{}", in_w, in_h, out_w, out_h);
    impl = std::make_unique<X264Impl>();
    if (impl->Init(in_w, in_h, out_w, out_h, fps, bitrate) != 0) {
      // No back-end stands: frames are skipped until a settings or size change
      // brings the next reset.
      LOG_ERROR("x264 init error in:{},{} out:{},{}", in_w, in_h, out_w, out_h);
      impl.reset();
    }
  }
  if (impl) {
    LOG_INFO("encoding with {} at {}x{}", impl->IsHardware() ? "Quick Sync" : "x264", out_w, out_h);
    impl->SetOutputCallback([output](std::shared_ptr<buffer::H264Sample> sample) {
      EnqueueTo(output, std::move(sample));
    });
  }
  impl_ = std::move(impl);
  std::printf("after ResetEncoder\n");
}

bool H264Encoder::EncodeFrame(const std::shared_ptr<buffer::ImageBuffer>& frame) {
  if (!impl_) return false;
  // Read and cleared in one step: a request made during the encode is kept for the next.
  const bool key = key_frame_requested_.exchange(false);
  const int result = impl_->Encode(frame, key);
  if (result != 0) {
    LOG_ERROR("hw {} EncodeFrame errno {}", impl_->IsHardware(), result);
    hardware_enabled_.store(false);
    ResetEncoder();
    // The new encoder starts with an IDR anyway; keep the request for its first frame.
    if (key) key_frame_requested_.store(true);
    return true;
  }
  if (key) LOG_INFO("RequestKeyFrame");
  return true;
}

void H264Encoder::WorkFunc() {
  dirty_.store(false);
  LOG_INFO("Enter encode loop");
  std::shared_ptr<ImageQueue> input;
  std::shared_ptr<SampleQueue> output;
  while (running_.load()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      input = input_.lock();
      output = output_.lock();
    }
    if (input && output) break;
    input.reset();
    output.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  std::shared_ptr<buffer::ImageBuffer> last_frame;
  int full_rounds = 0;
  int timeouts = 0;
  while (running_.load() && input && output) {
    if (input->IsStopped() || output->IsStopped()) {
      // Stopping: let go of the queues' frames and idle until joined.
      last_frame.reset();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (output->Size() >= output->capacity()) {
      if (full_rounds == 5) LOG_INFO("Output sink is full");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      full_rounds = full_rounds + 1 > 50 ? 0 : full_rounds + 1;
      continue;
    }
    full_rounds = 0;
    while (input->Size() > 1) input->DropOldest();

    int fps;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fps = frame_rate_;
    }
    std::shared_ptr<buffer::ImageBuffer> fresh;
    if (input->WaitDequeueTimed(fresh, 2000000 / fps) && fresh) {
      last_frame = std::move(fresh);
      timeouts = 0;
    } else {
      if (input->IsStopped()) continue;
      const int before = timeouts++;
      const bool wanted = key_frame_requested_.load() || dirty_.load();
      if (before > fps / 2 && !wanted) continue;
      if (wanted) timeouts = 0;
    }
    if (!last_frame) continue;

    // Before the first frame there is nothing to configure: the size change below
    // makes the first encoder with every setting made so far.
    if (!paused_.load() && input_width_ > 0 && dirty_.exchange(false)) ResetEncoder();

    int w = 0, h = 0;
    last_frame->GetSize(&w, &h);
    if (w <= 0 || h <= 0 || last_frame->GetData() == nullptr) {
      last_frame.reset();  // nothing to encode from
      continue;
    }
    bool reset = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (w != input_width_ || h != input_height_) {
        input_width_ = w;
        input_height_ = h;
        Size out = ComputeOutputSize(w, h, max_output_width_, max_output_height_);
        if (!(out == Size{output_width_, output_height_}) || !impl_) {
          output_width_ = out.width;
          output_height_ = out.height;
          reset = true;
        }
      }
    }
    if (reset) ResetEncoder();
    EncodeFrame(last_frame);
    // Re-encodes of this frame are not new captures: they carry no capture time.
    last_frame->set_capture_time_us(0);
  }
  LOG_INFO("Exit encode loop");
  last_frame.reset();
  impl_.reset();
  std::lock_guard<std::mutex> lock(mutex_);
  input_width_ = input_height_ = output_width_ = output_height_ = 0;
}

}  // namespace mediaworkflow::encoder
