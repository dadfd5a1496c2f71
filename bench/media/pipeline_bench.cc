// Capture -> encode -> callback over the synthetic desktop (or the real one with
// --real): sustained frame rate, capture-to-callback latency, CPU per frame, memory
// and copies per frame.
//
//   pipeline_bench [--width W] [--height H] [--quality 0|1] [--seconds S] [--fps F]
//                  [--max-width W] [--max-height H] [--real] [--scroll]
// --scroll: the whole synthetic page scrolls every frame (a worst case for x264).
// --real: the X server's desktop; x_scroll_desktop gives it moving content.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mediaworkflow/screen_pipeline.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"
#include "platform/screen/surface.h"

namespace {

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

long CurrentRssKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int Arg(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

bool Flag(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int width = Arg(argc, argv, "--width", 1920);
  const int height = Arg(argc, argv, "--height", 1080);
  const bool quality = Arg(argc, argv, "--quality", 0) != 0;
  const int seconds = Arg(argc, argv, "--seconds", 20);
  const int fps = Arg(argc, argv, "--fps", 30);
  const int max_w = Arg(argc, argv, "--max-width", 1920);
  const int max_h = Arg(argc, argv, "--max-height", 1080);
  const bool real = Flag(argc, argv, "--real");
  const bool scroll = Flag(argc, argv, "--scroll");
  const int warmup_s = 2;

  auto desktop = std::make_shared<platform::screen::SimDesktop>();
  desktop->SetMonitors({platform::screen::Monitor{platform::screen::Rect{0, 0, width, height}, true, "BENCH"}});
  desktop->SetAnimated(true);
  desktop->SetScrolling(scroll);

  mediaworkflow::videosource::ScreenSourceWin::SystemFactory factory;
  if (!real) factory = [desktop] { return std::make_unique<platform::screen::SimScreenSystem>(desktop); };
  mediaworkflow::ScreenPipeline pipeline(factory);
  pipeline.SetQualityMode(quality);
  pipeline.SetFrameRate(fps);
  pipeline.SetOutputSize(max_w, max_h);

  std::atomic<bool> measuring{false};
  std::atomic<uint64_t> bytes{0};
  std::atomic<uint64_t> callbacks{0};
  std::mutex mutex;
  // Filled in place and touched up front, so the measurement itself adds nothing to
  // the RSS trace.
  std::vector<int64_t> latencies(static_cast<size_t>(fps) * (seconds + 5) + 64, 0);
  size_t latency_count = 0;
  pipeline.SetOutputCallback([&](uint8_t*, unsigned size, uint64_t) {
    if (!measuring.load()) return;
    bytes += size;
    ++callbacks;
  });
  pipeline.SetLatencyObserver([&](int64_t capture_us, int64_t output_us) {
    if (!measuring.load()) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (latency_count < latencies.size()) latencies[latency_count++] = output_us - capture_us;
  });

  pipeline.Start();
  std::this_thread::sleep_for(std::chrono::seconds(warmup_s));

  const uint64_t copies0 = platform::screen::FrameCopyCounter().load();
  const int acquires0 = desktop->Acquires() + desktop->Blits();
  const double cpu0 = CpuSeconds();
  const long rss0 = CurrentRssKb();
  long rss_max = rss0;
  const auto t0 = std::chrono::steady_clock::now();
  measuring = true;
  std::vector<long> rss_trace;
  for (int s = 0; s < seconds; ++s) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long rss = CurrentRssKb();
    rss_max = std::max(rss_max, rss);
    if (s % 10 == 9 || s == seconds - 1) rss_trace.push_back(rss);
  }
  measuring = false;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const uint64_t copies = platform::screen::FrameCopyCounter().load() - copies0;
  const int captured = desktop->Acquires() + desktop->Blits() - acquires0;
  pipeline.Stop();

  std::vector<int64_t> lat;
  {
    std::lock_guard<std::mutex> lock(mutex);
    lat.assign(latencies.begin(), latencies.begin() + static_cast<std::ptrdiff_t>(latency_count));
  }
  std::sort(lat.begin(), lat.end());
  auto pct = [&](double p) -> double {
    if (lat.empty()) return 0;
    size_t i = std::min(lat.size() - 1, static_cast<size_t>(p * static_cast<double>(lat.size() - 1) + 0.5));
    return static_cast<double>(lat[i]) / 1000.0;
  };
  const double frames = static_cast<double>(lat.size());
  std::printf("\n=== pipeline_bench %dx%d -> max %dx%d, %s, %d fps target, %d s%s ===\n", width, height,
              max_w, max_h, quality ? "quality (veryfast)" : "speed (ultrafast)", fps, seconds,
              real ? ", real desktop" : (scroll ? ", synthetic desktop, full-screen scroll" : ", synthetic desktop"));
  std::printf("encoded frames/s sustained : %.2f\n", frames / elapsed);
  std::printf("latency capture->callback  : median %.2f ms, p99 %.2f ms, max %.2f ms\n", pct(0.5),
              pct(0.99), pct(1.0));
  std::printf("CPU per encoded frame      : %.2f ms (%.1f%% of one core)\n",
              frames > 0 ? cpu * 1000.0 / frames : 0.0, cpu * 100.0 / elapsed);
  std::printf("bitrate out                : %.0f kbit/s\n", static_cast<double>(bytes.load()) * 8 / elapsed / 1000);
  if (!real) {
    std::printf("frames captured            : %d (copies %llu, %.2f per captured frame, %.2f per encoded frame)\n",
                captured, static_cast<unsigned long long>(copies),
                captured > 0 ? static_cast<double>(copies) / captured : 0.0,
                frames > 0 ? static_cast<double>(copies) / frames : 0.0);
  } else {
    std::printf("copies per encoded frame   : %.2f\n", frames > 0 ? static_cast<double>(copies) / frames : 0.0);
  }
  std::printf("memory                     : RSS at start %ld KiB, max %ld KiB, peak (maxrss) %ld KiB\n",
              rss0, rss_max, PeakRssKb());
  std::printf("RSS every 10 s (KiB)       :");
  for (long r : rss_trace) std::printf(" %ld", r);
  std::printf("\n");
  return 0;
}
