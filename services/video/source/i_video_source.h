#pragma once

#include <memory>
#include <string>
#include <vector>

#include "services/video/source/i_video_source_controller.h"

namespace crcp::video {

// A source of encoded video: which codecs it offers and a controller for one.
class IVideoSource {
 public:
  virtual ~IVideoSource() = default;
  virtual std::vector<std::string> GetSupportedCodecs() = 0;
  // Empty when the codec is not offered.
  virtual std::shared_ptr<IVideoSourceController> CreateController(const std::string& codec) = 0;
};

}  // namespace crcp::video
