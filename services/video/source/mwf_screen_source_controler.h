#pragma once

#include <memory>

#include "mediaworkflow/screen_pipeline.h"
#include "services/video/source/i_video_source_controller.h"

namespace crcp::video {

// Forwards every operation to its own ScreenPipeline, which it stops and destroys
// with itself.
class MWFScreenSourceControler : public IVideoSourceController {
 public:
  explicit MWFScreenSourceControler(std::shared_ptr<mediaworkflow::ScreenPipeline> pipeline);
  ~MWFScreenSourceControler() override;

  void SetOutputCallback(OutputCallback callback) override;
  void SetHardwareEnabled(bool enabled) override;
  void SetQualityMode(bool quality_mode) override;
  void Start() override;
  void Stop() override;
  void RequestKeyFrame() override;
  void Pause() override;
  void Resume() override;
  void SetMonitor(int index) override;
  void SetDrawCursor(bool draw_cursor) override;
  void SetFrameRate(int fps) override;
  void SetBitrate(int kbps) override;
  void SetOutputSize(int width, int height) override;
  void Reserved(int value) override;
  void SetEventCallback(EventCallback callback) override;
  void SetOutputInterrupt(std::function<void()> interrupt) override;

  mediaworkflow::ScreenPipeline& pipeline() { return *pipeline_; }

 private:
  std::shared_ptr<mediaworkflow::ScreenPipeline> pipeline_;
};

}  // namespace crcp::video
