#include "services/video/video_source_manager.h"

#include <utility>

#include "platform/display/sim_monitor_plug.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::SourceManager";
}  // namespace

VideoSourceManager::VideoSourceManager(std::shared_ptr<IVideoSource> source,
                                       std::shared_ptr<ScreenUtils> screen_utils)
    : screen_utils_(screen_utils ? std::move(screen_utils) : std::make_shared<ScreenUtils>()) {
  ConnectSimulatedVirtualMonitor();
  if (!source) return;
  for (const auto& codec : source->GetSupportedCodecs()) {
    auto controller = source->CreateController(codec);
    if (!controller) {
      LOG_ERROR("create {} controller fail", codec);
      continue;
    }
    auto global = std::make_shared<GlobalSourceController>(std::move(controller));
    global->SetScreenUtils(screen_utils_);
    controllers_[codec] = std::move(global);
    codecs_.push_back(codec);
  }
}

std::shared_ptr<GlobalSourceController> VideoSourceManager::GetSourceController(
    const std::string& codec) const {
  const auto it = controllers_.find(codec);
  if (it == controllers_.end()) {
    LOG_ERROR("can not find {} codec", codec);
    return nullptr;
  }
  return it->second;
}

std::vector<std::string> VideoSourceManager::Codecs() const { return codecs_; }

void VideoSourceManager::ConnectSimulatedVirtualMonitor() {
  platform::display::ConnectSimulatedMonitorPlug(ScreenUtils::kVirtualMonitorName);
}

}  // namespace crcp::video
