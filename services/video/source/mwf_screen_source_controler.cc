#include "services/video/source/mwf_screen_source_controler.h"

namespace crcp::video {

MWFScreenSourceControler::MWFScreenSourceControler(
    std::shared_ptr<mediaworkflow::ScreenPipeline> pipeline)
    : pipeline_(std::move(pipeline)) {}

MWFScreenSourceControler::~MWFScreenSourceControler() { pipeline_->Stop(); }

void MWFScreenSourceControler::SetOutputCallback(OutputCallback callback) {
  pipeline_->SetOutputCallback(std::move(callback));
}
void MWFScreenSourceControler::SetHardwareEnabled(bool enabled) { pipeline_->SetHardwareEnabled(enabled); }
void MWFScreenSourceControler::SetQualityMode(bool quality_mode) { pipeline_->SetQualityMode(quality_mode); }
void MWFScreenSourceControler::Start() { pipeline_->Start(); }
void MWFScreenSourceControler::Stop() { pipeline_->Stop(); }
void MWFScreenSourceControler::RequestKeyFrame() { pipeline_->RequestKeyFrame(); }
void MWFScreenSourceControler::Pause() { pipeline_->Pause(); }
void MWFScreenSourceControler::Resume() { pipeline_->Resume(); }
void MWFScreenSourceControler::SetMonitor(int index) { pipeline_->SetMonitor(index); }
void MWFScreenSourceControler::SetDrawCursor(bool draw_cursor) { pipeline_->SetDrawCursor(draw_cursor); }
void MWFScreenSourceControler::SetFrameRate(int fps) { pipeline_->SetFrameRate(fps); }
void MWFScreenSourceControler::SetBitrate(int kbps) { pipeline_->SetBitrate(kbps); }
void MWFScreenSourceControler::SetOutputSize(int width, int height) {
  pipeline_->SetOutputSize(width, height);
}
void MWFScreenSourceControler::Reserved(int) {}
// The pipeline reports no events: nothing to pass the callback to.
void MWFScreenSourceControler::SetEventCallback(EventCallback) {}
void MWFScreenSourceControler::SetOutputInterrupt(std::function<void()> interrupt) {
  pipeline_->SetOutputInterrupt(std::move(interrupt));
}

}  // namespace crcp::video
