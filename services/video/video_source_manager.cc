#include "services/video/video_source_manager.h"

#include <utility>

#include "platform/backend.h"
#include "platform/display/sim_virtual_display_driver.h"
#include "platform/screen/display_topology.h"
#include "platform/screen/sim_desktop.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::SourceManager";
// The size the simulated virtual monitor comes up with, before it is resized.
constexpr int kSimVirtualWidth = 1280;
constexpr int kSimVirtualHeight = 720;
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
  if (platform::SelectedBackend() != platform::Backend::kSimulated) return;
  platform::display::SimVirtualDisplayDriver::Shared()->SetMonitorPlugCallback([](bool on) {
    platform::screen::SimDisplayTopology::PlugMonitor(platform::screen::SimDesktop::Shared(), on,
                                                      ScreenUtils::kVirtualMonitorName,
                                                      kSimVirtualWidth, kSimVirtualHeight);
  });
}

}  // namespace crcp::video
