// Measures the system-sound source on a scripted endpoint that delivers sound as fast
// as the capture takes it:
//  - CPU per second of audio for the whole path (read, convert, cut, scale, encode),
//    as a share of one core;
//  - per 40 ms block, the wall time the conversion and the encoding add (mean, p99, max).
// Usage: audio_source_bench [seconds of audio, default 60]

#include <opus.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "platform/audio/resampler.h"
#include "platform/audio/sim_audio_system.h"
#include "services/audio/source/opus_audio_source.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::audio::MixFormat;
using platform::audio::SampleType;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Music-like load for the encoder: three tones with a slow sweep and some noise.
std::vector<uint8_t> Signal(const MixFormat& f, size_t frames, size_t start) {
  static std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::vector<uint8_t> out(frames * f.BlockAlign());
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(start + i) / f.sample_rate;
    const double v = 0.2 * std::sin(2 * M_PI * 440 * t) + 0.15 * std::sin(2 * M_PI * (660 + 200 * std::sin(t)) * t) +
                     0.1 * std::sin(2 * M_PI * 3300 * t) + noise(rng);
    for (uint32_t c = 0; c < f.channels; ++c) {
      uint8_t* p = &out[(i * f.channels + c) * f.BytesPerSample()];
      if (f.type == SampleType::kInt16) {
        auto s = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        std::memcpy(p, &s, 2);
      } else {
        auto s = static_cast<float>(v);
        std::memcpy(p, &s, 4);
      }
    }
  }
  return out;
}

struct Stats {
  double mean_ms, p99_ms, max_ms;
};

Stats Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  return Stats{sum / ms.size(), ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back()};
}

// The whole source over the simulated endpoint.
void WholePath(const char* name, const MixFormat& format, int seconds) {
  auto sim = std::make_shared<platform::audio::SimAudioSystem>();
  sim->AddEndpoint("speaker", "bench#speaker", format);
  const uint32_t packet = format.sample_rate / 100;  // 10 ms, as loopback delivers
  const size_t total = static_cast<size_t>(seconds) * format.sample_rate;
  for (size_t at = 0; at < total; at += packet) sim->QueuePacket(Signal(format, packet, at), packet);

  std::mutex m;
  std::condition_variable cv;
  std::vector<Clock::time_point> stamps;
  size_t bytes = 0;
  const size_t expected = total / 1920 * 48000 / format.sample_rate - 2;
  audiosource::OpusAudioSource source(sim);
  source.SetSink([&](const uint8_t*, unsigned size) {
    std::lock_guard<std::mutex> lock(m);
    stamps.push_back(Clock::now());
    bytes += size;
    cv.notify_all();
  });
  const double cpu0 = CpuSeconds();
  const auto wall0 = Clock::now();
  source.Start();
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::minutes(5), [&] { return stamps.size() >= expected; });
  }
  sim->WaitQueueDrained(std::chrono::seconds(10));
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  source.Stop();

  std::vector<double> per_block;
  for (size_t i = 1; i < stamps.size(); ++i) {
    per_block.push_back(std::chrono::duration<double, std::milli>(stamps[i] - stamps[i - 1]).count());
  }
  Stats s = Summarise(per_block);
  std::printf("%-22s %5zu blocks  cpu %.3f s for %d s audio = %.2f%% of a core  wall %.3f s  "
              "per block mean %.3f ms p99 %.3f ms max %.3f ms  avg packet %zu B\n",
              name, stamps.size(), cpu, seconds, 100.0 * cpu / seconds, wall, s.mean_ms, s.p99_ms, s.max_ms,
              stamps.empty() ? 0 : bytes / stamps.size());
}

// Conversion and encoding alone, block by block, without the capture around them.
void Stages(const char* name, const MixFormat& format, int seconds) {
  platform::audio::Resampler resampler;
  resampler.Init(format, 48000);
  int error = 0;
  OpusEncoder* enc = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  opus_encoder_ctl(enc, OPUS_SET_BITRATE(128000));
  opus_encoder_ctl(enc, OPUS_SET_VBR(1));
  std::vector<float> block;
  block.reserve(3840);
  std::vector<double> convert_ms, encode_ms;
  uint8_t out[1024];
  const uint32_t packet = format.sample_rate / 100;
  const size_t total = static_cast<size_t>(seconds) * format.sample_rate;
  std::vector<std::vector<uint8_t>> input;
  for (size_t at = 0; at < total; at += packet) input.push_back(Signal(format, packet, at));
  double convert_acc = 0;
  for (const auto& p : input) {
    const auto t0 = Clock::now();
    std::vector<float> pending;
    resampler.Process(p.data(), p.size(), [&](const float* s, size_t frames) { pending.insert(pending.end(), s, s + 2 * frames); });
    convert_acc += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    for (size_t i = 0; i < pending.size(); ++i) {
      block.push_back(pending[i]);
      if (block.size() == 3840) {
        const auto t1 = Clock::now();
        if (opus_encode_float(enc, block.data(), 1920, out, sizeof(out)) < 0) std::printf("encode failed\n");
        encode_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t1).count());
        convert_ms.push_back(convert_acc);
        convert_acc = 0;
        block.clear();
      }
    }
  }
  opus_encoder_destroy(enc);
  Stats c = Summarise(convert_ms), e = Summarise(encode_ms);
  std::printf("%-22s convert per block mean %.3f ms p99 %.3f ms   encode per block mean %.3f ms p99 %.3f ms max %.3f ms\n",
              name, c.mean_ms, c.p99_ms, e.mean_ms, e.p99_ms, e.max_ms);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  struct Case {
    const char* name;
    MixFormat format;
  };
  const Case cases[] = {
      {"f32 48000 stereo", {48000, 2, SampleType::kFloat32}},
      {"f32 44100 stereo", {44100, 2, SampleType::kFloat32}},
      {"s16 44100 stereo", {44100, 2, SampleType::kInt16}},
      {"f32 48000 5.1", {48000, 6, SampleType::kFloat32}},
      {"f32 96000 stereo", {96000, 2, SampleType::kFloat32}},
  };
  std::printf("whole path (capture over a scripted endpoint, %d s of audio each)\n", seconds);
  for (const Case& c : cases) WholePath(c.name, c.format, seconds);
  std::printf("stages\n");
  for (const Case& c : cases) Stages(c.name, c.format, seconds);
  return 0;
}
