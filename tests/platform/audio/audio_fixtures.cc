#include "tests/platform/audio/audio_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio_fixtures {

using platform::audio::SampleType;

namespace {
constexpr double kPi = 3.14159265358979323846;

void WriteSample(uint8_t* p, SampleType type, double v) {
  switch (type) {
    case SampleType::kInt16: {
      auto s = static_cast<int16_t>(std::lround(v * 32767.0));
      std::memcpy(p, &s, 2);
      break;
    }
    case SampleType::kInt24: {
      auto s = static_cast<int32_t>(std::lround(v * 8388607.0));
      p[0] = static_cast<uint8_t>(s & 0xff);
      p[1] = static_cast<uint8_t>((s >> 8) & 0xff);
      p[2] = static_cast<uint8_t>((s >> 16) & 0xff);
      break;
    }
    case SampleType::kInt32: {
      auto s = static_cast<int32_t>(std::llround(v * 2147483647.0));
      std::memcpy(p, &s, 4);
      break;
    }
    case SampleType::kFloat32: {
      auto s = static_cast<float>(v);
      std::memcpy(p, &s, 4);
      break;
    }
  }
}
}  // namespace

std::vector<uint8_t> MakeTone(const platform::audio::MixFormat& format, size_t frames, double frequency,
                              double amplitude, double* phase) {
  std::vector<uint8_t> bytes(frames * format.BlockAlign());
  const double step = 2.0 * kPi * frequency / format.sample_rate;
  const uint32_t bps = format.BytesPerSample();
  for (size_t f = 0; f < frames; ++f) {
    const double v = amplitude * std::sin(*phase);
    *phase = std::fmod(*phase + step, 2.0 * kPi);
    for (uint32_t c = 0; c < format.channels; ++c) {
      WriteSample(&bytes[(f * format.channels + c) * bps], format.type, v);
    }
  }
  return bytes;
}

double ZeroCrossingFrequency(const float* stereo, size_t frames, double rate) {
  // Rising crossings, each placed between its two samples.
  double first = -1.0, last = -1.0;
  int count = 0;
  for (size_t i = 1; i < frames; ++i) {
    const float a = stereo[2 * (i - 1)], b = stereo[2 * i];
    if (a < 0.0f && b >= 0.0f) {
      const double at = static_cast<double>(i - 1) + a / (a - b);
      if (first < 0.0) first = at;
      last = at;
      ++count;
    }
  }
  if (count < 2) return 0.0;
  return (count - 1) * rate / (last - first);
}

double ToneShare(const float* stereo, size_t frames, double rate, double frequency) {
  // Goertzel power at the frequency against the total energy of the window.
  const double w = 2.0 * kPi * frequency / rate;
  const double coeff = 2.0 * std::cos(w);
  double s1 = 0.0, s2 = 0.0, energy = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double x = stereo[2 * i];
    energy += x * x;
    const double s0 = x + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  if (energy <= 0.0) return 0.0;
  // A sine of N samples puts N/2 * energy into its bin.
  return power / (energy * static_cast<double>(frames) / 2.0);
}

float Peak(const float* stereo, size_t frames) {
  float peak = 0.0f;
  for (size_t i = 0; i < frames * 2; ++i) peak = std::max(peak, std::fabs(stereo[i]));
  return peak;
}

}  // namespace audio_fixtures
