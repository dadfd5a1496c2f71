#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "mediaworkflow/encoder/h264_encoder.h"
#include "mediaworkflow/sink/output_sink.h"
#include "mediaworkflow/videosource/screen_source_win.h"

namespace mediaworkflow {

// Owns the three stages and the two queues between them, and serialises the settings
// that arrive from the video service. Stopped -> Start -> running -> Stop -> stopped,
// any number of times. Stop must not be called from the output callback (it joins
// the thread that runs it).
class ScreenPipeline {
 public:
  using OutputCallback = sink::OutputCallback;
  using ImageQueue = videosource::ImageQueue;
  using SampleQueue = sink::SampleQueue;

  // `factory`: the desktop the source captures (default: the selected platform).
  explicit ScreenPipeline(videosource::ScreenSourceWin::SystemFactory factory = nullptr);
  ~ScreenPipeline();

  void Start();
  void Stop();
  void Pause();
  void Resume();
  void SetHardwareEnabled(bool enabled);
  void SetQualityMode(bool quality_mode);
  void RequestKeyFrame();
  void SetBitrate(int kbps);
  void SetDrawCursor(bool draw_cursor);
  void SetMonitor(int monitor);
  void SetFrameRate(int frame_rate);
  void SetOutputSize(int width, int height);
  void SetOutputCallback(OutputCallback callback);
  // Called by every stop path after the queues are stopped and before the sink is
  // joined. The output callback may block (a full send ring on a stalled receiver);
  // this is where its owner makes that wait end, so a stop returns promptly. It runs
  // under the pipeline's lock and must not call back into the pipeline.
  void SetOutputInterrupt(std::function<void()> interrupt);
  // Capture and output time of each newly captured frame's sample (measurements).
  void SetLatencyObserver(sink::LatencyObserver observer);

  bool IsRunning() const { return running_.load(); }
  videosource::ScreenSourceWin& source() { return *source_; }
  encoder::H264Encoder& encoder() { return *encoder_; }

 private:
  void StopLocked();
  void StartLocked();

  std::unique_ptr<videosource::ScreenSourceWin> source_;
  std::unique_ptr<encoder::H264Encoder> encoder_;
  std::unique_ptr<sink::OutputSink> sink_;
  std::shared_ptr<ImageQueue> image_queue_;
  std::shared_ptr<SampleQueue> sample_queue_;
  std::atomic<bool> running_{false};
  std::atomic<bool> hardware_enabled_{true};
  std::mutex mutex_;
  std::mutex hardware_mutex_;  // serialises SetHardwareEnabled's stop-and-start
  std::function<void()> output_interrupt_;
};

}  // namespace mediaworkflow
