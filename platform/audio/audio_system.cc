#include "platform/audio/audio_system.h"

#include <mutex>

#include "platform/audio/pulse_audio_system.h"
#include "platform/audio/sim_audio_system.h"
#include "platform/backend.h"

namespace platform::audio {

std::shared_ptr<AudioSystem> SharedAudioSystem() {
  static std::once_flag once;
  static std::shared_ptr<AudioSystem> system;
  std::call_once(once, [] {
    if (SelectedBackend() == Backend::kSimulated) {
      // A plain speaker as the only endpoint; tests that script more make their own.
      auto sim = std::make_shared<SimAudioSystem>();
      sim->AddEndpoint("sim-speaker", "sim#speaker");
      system = sim;
    } else {
      system = std::make_shared<PulseAudioSystem>();
    }
  });
  return system;
}

}  // namespace platform::audio
