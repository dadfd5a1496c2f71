#pragma once

#include <memory>
#include <string>
#include <vector>

#include "services/audio/source/i_audio_source.h"

namespace audiosource {

// Makes encoded-audio sources by codec name.
class IAudioSourceHandler {
 public:
  virtual ~IAudioSourceHandler() = default;
  // The codec names this handler can produce.
  virtual std::vector<std::string> GetCodecs() = 0;
  // A new source for the codec, or empty for a codec it does not make.
  virtual std::shared_ptr<IAudioSource> CreateSource(const std::string& codec) = 0;
};

}  // namespace audiosource
