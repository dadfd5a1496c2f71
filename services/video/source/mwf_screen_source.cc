#include "services/video/source/mwf_screen_source.h"

#include "services/video/source/mwf_screen_source_controler.h"

namespace crcp::video {

std::vector<std::string> MWFScreenSource::GetSupportedCodecs() { return {"h264"}; }

std::shared_ptr<IVideoSourceController> MWFScreenSource::CreateController(const std::string& codec) {
  if (codec != "h264") return nullptr;
  return std::make_shared<MWFScreenSourceControler>(std::make_shared<mediaworkflow::ScreenPipeline>());
}

}  // namespace crcp::video
