#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio/audio_system.h"

// Signals in any mix format, and measurements of stereo float sound, shared by the
// sound tests.
namespace audio_fixtures {

// A sine tone on every channel, continuing from *phase (radians), which is advanced.
std::vector<uint8_t> MakeTone(const platform::audio::MixFormat& format, size_t frames, double frequency,
                              double amplitude, double* phase);

// Frequency of the left channel of interleaved stereo, from its zero crossings.
double ZeroCrossingFrequency(const float* stereo, size_t frames, double rate);

// Share of the left channel's energy that lies at `frequency` (1.0 for a pure tone).
double ToneShare(const float* stereo, size_t frames, double rate, double frequency);

// Peak absolute sample of both channels.
float Peak(const float* stereo, size_t frames);

}  // namespace audio_fixtures
