#include "platform/audio/audio_system.h"

#include <mutex>

#include "platform/audio/pulse_audio_system.h"
#include "platform/audio/sim_audio_system.h"
#include "platform/backend.h"

namespace platform::audio {

bool IsDigitalSilence(const uint8_t* data, size_t size, SampleType type) {
  if (type == SampleType::kFloat32) {
    // Little-endian floats: the sign bit is the top bit of each sample's last byte.
    for (size_t i = 0; i < size; ++i) {
      const uint8_t mask = (i % 4 == 3) ? 0x7f : 0xff;
      if ((data[i] & mask) != 0) return false;
    }
    return true;
  }
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

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
