#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "services/video/global_source_controller.h"
#include "services/video/screen_utils.h"
#include "services/video/source/i_video_source.h"

namespace crcp::video {

// One shared pipeline per codec the video source offers, and the screen utilities of
// the whole service.
class VideoSourceManager {
 public:
  explicit VideoSourceManager(std::shared_ptr<IVideoSource> source,
                              std::shared_ptr<ScreenUtils> screen_utils = nullptr);

  // Empty (logged) when the codec is not offered.
  std::shared_ptr<GlobalSourceController> GetSourceController(const std::string& codec) const;
  std::vector<std::string> Codecs() const;
  const std::shared_ptr<ScreenUtils>& screen_utils() const { return screen_utils_; }

  // Under the simulated platform: the simulated virtual display driver plugs its
  // monitor into the simulated desktop (and pulls it out again), so the extended
  // screen can be captured end to end. Nothing otherwise.
  static void ConnectSimulatedVirtualMonitor();

 private:
  std::shared_ptr<ScreenUtils> screen_utils_;
  std::unordered_map<std::string, std::shared_ptr<GlobalSourceController>> controllers_;
  std::vector<std::string> codecs_;
};

}  // namespace crcp::video
