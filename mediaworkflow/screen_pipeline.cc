#include "mediaworkflow/screen_pipeline.h"

#include "utils/logger.h"

namespace mediaworkflow {

namespace {
const char* const kLogTag = "CaptureSessionImpl";
}  // namespace

ScreenPipeline::ScreenPipeline(videosource::ScreenSourceWin::SystemFactory factory)
    : source_(std::make_unique<videosource::ScreenSourceWin>(std::move(factory))),
      encoder_(std::make_unique<encoder::H264Encoder>()),
      sink_(std::make_unique<sink::OutputSink>()) {
  // 30 fps, pointer drawn, hardware allowed, monitor 0, output at most 1920x1080: the
  // stage defaults. (The 20 fps rule of old systems has no counterpart here.)
  source_->SetFrameRate(30);
  source_->SetDrawCursor(true);
  source_->SetMonitor(0);
  source_->SetHardwareEnabled(hardware_enabled_.load());
  encoder_->SetFrameRate(30);
  encoder_->SetOutputSize(1920, 1080);
  encoder_->SetHardwareEnabled(hardware_enabled_.load());
}

ScreenPipeline::~ScreenPipeline() {
  Stop();
  sink_.reset();
  encoder_.reset();
  source_.reset();
}

void ScreenPipeline::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  StartLocked();
}

void ScreenPipeline::StartLocked() {
  if (running_.load()) return;
  image_queue_ = std::make_shared<ImageQueue>();
  sample_queue_ = std::make_shared<SampleQueue>();
  source_->SetOutput(image_queue_);
  encoder_->SetInput(image_queue_);
  encoder_->SetOutput(sample_queue_);
  sink_->SetInput(sample_queue_);
  source_->Start();
  encoder_->Start();
  sink_->Start();
  running_.store(true);
  LOG_INFO("started");
}

void ScreenPipeline::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  StopLocked();
}

void ScreenPipeline::StopLocked() {
  if (!running_.load()) return;
  image_queue_->Stop();
  sample_queue_->Stop();
  // The sink may sit in the output callback; its owner releases that wait now, or
  // the join below would wait for a receiver that may never read again.
  if (output_interrupt_) output_interrupt_();
  image_queue_.reset();
  sample_queue_.reset();
  encoder_->Stop();
  sink_->Stop();
  source_->Stop();
  running_.store(false);
  LOG_INFO("stoped");
}

void ScreenPipeline::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->Pause();
  encoder_->Pause();
  sink_->Pause();
}

void ScreenPipeline::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->Resume();
  encoder_->Resume();
  sink_->Resume();
}

void ScreenPipeline::SetHardwareEnabled(bool enabled) {
  std::lock_guard<std::mutex> serial(hardware_mutex_);
  if (hardware_enabled_.exchange(enabled) == enabled) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const bool was_running = running_.load();
  StopLocked();
  source_->SetHardwareEnabled(enabled);
  encoder_->SetHardwareEnabled(enabled);
  if (was_running) StartLocked();
}

void ScreenPipeline::SetQualityMode(bool quality_mode) { encoder_->SetQualityMode(quality_mode); }

void ScreenPipeline::RequestKeyFrame() { encoder_->RequestKeyFrame(); }

void ScreenPipeline::SetBitrate(int kbps) {
  std::lock_guard<std::mutex> lock(mutex_);
  encoder_->SetBitrate(kbps);
}

void ScreenPipeline::SetDrawCursor(bool draw_cursor) {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->SetDrawCursor(draw_cursor);
}

void ScreenPipeline::SetMonitor(int monitor) {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->SetMonitor(monitor);
}

void ScreenPipeline::SetFrameRate(int frame_rate) {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->SetFrameRate(frame_rate);
  encoder_->SetFrameRate(frame_rate);
}

void ScreenPipeline::SetOutputSize(int width, int height) {
  std::lock_guard<std::mutex> lock(mutex_);
  encoder_->SetOutputSize(width, height);
}

void ScreenPipeline::SetOutputCallback(OutputCallback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_->SetOutputCallback(std::move(callback));
}

void ScreenPipeline::SetOutputInterrupt(std::function<void()> interrupt) {
  std::lock_guard<std::mutex> lock(mutex_);
  output_interrupt_ = std::move(interrupt);
}

void ScreenPipeline::SetLatencyObserver(sink::LatencyObserver observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_->SetLatencyObserver(std::move(observer));
}

}  // namespace mediaworkflow
