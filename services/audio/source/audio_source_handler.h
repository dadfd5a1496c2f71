#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_system.h"
#include "services/audio/source/i_audio_source_handler.h"

namespace audiosource {

// Makes the system-sound source: Opus over a loopback capture of the default output.
class AudioSourceHandler : public IAudioSourceHandler {
 public:
  explicit AudioSourceHandler(
      std::shared_ptr<platform::audio::AudioSystem> system = platform::audio::SharedAudioSystem());

  // Handed to every source made afterwards.
  void SetMuteLocalOutput(bool mute) { mute_local_output_ = mute; }

  std::vector<std::string> GetCodecs() override;
  // Exactly "opus" (case matters) makes a source; anything else gives empty.
  std::shared_ptr<IAudioSource> CreateSource(const std::string& codec) override;

 private:
  std::atomic<bool> mute_local_output_{false};
  std::shared_ptr<platform::audio::AudioSystem> system_;
};

}  // namespace audiosource
