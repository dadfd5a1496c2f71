#pragma once

#include "services/video/source/i_video_source.h"

namespace crcp::video {

// The screen as a video source: H.264 from the media pipeline.
class MWFScreenSource : public IVideoSource {
 public:
  std::vector<std::string> GetSupportedCodecs() override;
  // A controller over a new, stopped pipeline for exactly "h264".
  std::shared_ptr<IVideoSourceController> CreateController(const std::string& codec) override;
};

}  // namespace crcp::video
