#include "services/audio/source/audio_source_handler.h"

#include "services/audio/source/opus_audio_source.h"
#include "utils/logger.h"

namespace audiosource {

namespace {
const char* const kLogTag = "opus";
const char* const kOpus = "opus";
}  // namespace

AudioSourceHandler::AudioSourceHandler(std::shared_ptr<platform::audio::AudioSystem> system)
    : system_(std::move(system)) {}

std::vector<std::string> AudioSourceHandler::GetCodecs() { return {kOpus}; }

std::shared_ptr<IAudioSource> AudioSourceHandler::CreateSource(const std::string& codec) {
  if (codec != kOpus) {
    LOG_WARN("no source for codec {}", codec);
    return nullptr;
  }
  auto source = std::make_shared<OpusAudioSource>(system_);
  source->SetMuteLocalOutput(mute_local_output_);
  return source;
}

}  // namespace audiosource
