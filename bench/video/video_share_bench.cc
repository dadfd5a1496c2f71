// One video session over loopback: the simulated desktop at 1920x1080 through the
// pipeline, the provider's ring and the TCP sender to the reference receiver.
//
//   video_share_bench [--seconds S] [--fps F] [--throttle-kbps K] [--scroll] [--real]
//                     [--h264-out PATH]
//
// --real: the X server's desktop (e.g. under xvfb-run -s "-screen 0 1920x1080x24")
// instead of the simulated one.
// --h264-out: the receiver writes the stream it read there, to look at with a decoder.
// Phase 1 (free receiver): latency from capture to the sample's last byte read by the
// receiver (median, p99), frame rate, bit rate and RSS. Phase 2 (receiver reading at
// K KiB/s): the frame rate the back-pressure leaves, whether every sample handed out
// by the pipeline arrived, in order and intact, how old the pictures are when read,
// and how many bytes wait in the sender's and the receiver's kernel (from
// /proc/net/tcp).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "mediaworkflow/screen_pipeline.h"
#include "platform/screen/sim_desktop.h"
#include "services/video/mirror_sender_service.h"
#include "services/video/source/mwf_screen_source_controler.h"
#include "tests/receiver/video_side.h"

namespace {

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

long CurrentRssKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

uint64_t Fnv(const uint8_t* data, size_t size) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

bool IsPicture(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 3 < size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      const int type = data[i + 3] & 0x1F;
      if (type == 1 || type == 5) return true;
      i += 3;
    }
  }
  return false;
}

// The screen source, keeping hold of its pipeline to observe capture times.
class ObservedScreenSource : public crcp::video::IVideoSource {
 public:
  std::vector<std::string> GetSupportedCodecs() override { return {"h264"}; }
  std::shared_ptr<crcp::video::IVideoSourceController> CreateController(const std::string& codec) override {
    if (codec != "h264") return nullptr;
    pipeline = std::make_shared<mediaworkflow::ScreenPipeline>();
    return std::make_shared<crcp::video::MWFScreenSourceControler>(pipeline);
  }
  std::shared_ptr<mediaworkflow::ScreenPipeline> pipeline;
};

// Bytes queued on the data connection, as /proc/net/tcp shows them: the client's
// socket (remote port = the data port) holds its unsent and unacknowledged bytes in
// tx_queue, the receiver's socket (local port = the data port) what it has not read
// yet in rx_queue.
struct KernelQueues {
  long sender = -1;
  long receiver = -1;
};

KernelQueues ReadKernelQueues(uint16_t data_port) {
  KernelQueues q;
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  std::getline(tcp, line);  // column titles
  while (std::getline(tcp, line)) {
    unsigned local_ip = 0, local_port = 0, remote_ip = 0, remote_port = 0, state = 0;
    unsigned long tx = 0, rx = 0;
    if (std::sscanf(line.c_str(), " %*d: %8X:%4X %8X:%4X %2X %8lX:%8lX", &local_ip, &local_port,
                    &remote_ip, &remote_port, &state, &tx, &rx) != 7 || state != 1) {
      continue;
    }
    if (remote_port == data_port) q.sender = static_cast<long>(tx);
    if (local_port == data_port) q.receiver = static_cast<long>(rx);
  }
  return q;
}

int64_t SteadyUs(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

double Percentile(std::vector<int64_t> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return static_cast<double>(v[i]) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool real = Flag(argc, argv, "--real");
  if (!real) setenv("CASTORA_PLATFORM", "sim", 1);
  const int seconds = Arg(argc, argv, "--seconds", 10);
  const int fps = Arg(argc, argv, "--fps", 30);
  const int throttle_kbps = Arg(argc, argv, "--throttle-kbps", 256);
  const bool scroll = Flag(argc, argv, "--scroll");

  if (!real) {
    auto desktop = platform::screen::SimDesktop::Shared();
    desktop->SetMonitors({platform::screen::Monitor{platform::screen::Rect{0, 0, 1920, 1080}, true, "BENCH"}});
    desktop->SetAnimated(true);
    desktop->SetScrolling(scroll);
  }

  receiver::VideoSide::Options side_options;
  side_options.screen_width = 1920;
  side_options.screen_height = 1080;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--h264-out") == 0) side_options.h264_path = argv[i + 1];
  receiver::VideoSide side(side_options);
  if (!side.Start()) return 1;

  auto source = std::make_shared<ObservedScreenSource>();
  crcp::video::MirrorSenderService service(source);
  if (!source->pipeline) return 1;
  source->pipeline->SetFrameRate(fps);

  // Every sample the pipeline hands out, seen by a probe registered after the
  // session's consumer (so it sees what the session accepted), with the capture and
  // output times the pipeline reports for pictures. A re-encoded (repeated) picture
  // has no capture time. Receiver samples are matched to these by content, in order.
  struct Handed {
    uint64_t hash = 0;
    int64_t capture_us = 0;
    int64_t output_us = 0;
  };
  std::mutex mutex;
  std::vector<Handed> handed;
  handed.reserve(static_cast<size_t>(fps) * (seconds * 2 + 40) * 2);
  source->pipeline->SetLatencyObserver([&](int64_t capture_us, int64_t output_us) {
    // Runs on the output thread right after the picture's callbacks.
    std::lock_guard<std::mutex> lock(mutex);
    if (!handed.empty()) {
      handed.back().capture_us = capture_us;
      handed.back().output_us = output_us;
    }
  });

  service.InitConnection("bench", "127.0.0.1");
  const std::string setting = nlohmann::json{{"cmdPort", side.CommandPort()},
                                             {"codec", {"h264"}},
                                             {"dataPort", side.DataPort()},
                                             {"version", 1}}
                                  .dump();
  if (!service.SetupConnection("bench", setting)) return 1;
  auto controller = service.GetController("bench");
  controller->Play(1);
  auto global = service.source_manager()->GetSourceController("h264");
  global->AddOutputCallback("zz-probe", [&](uint8_t* data, uint32_t size, uint64_t) {
    std::lock_guard<std::mutex> lock(mutex);
    handed.push_back(Handed{Fnv(data, size), 0, 0});
  });
  auto snapshot = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    return handed;
  };
  // Index of the receiver's sample that is the probe's first, or samples.size().
  auto align = [&](const std::vector<receiver::VideoSide::Sample>& samples,
                   const std::vector<uint8_t>& stream, const std::vector<Handed>& h) {
    size_t first = 0;
    while (!h.empty() && first < samples.size() &&
           Fnv(stream.data() + samples[first].offset, samples[first].size) != h[0].hash) {
      ++first;
    }
    return first;
  };

  // --- Phase 1: a receiver that reads as fast as it can. ---
  const int warmup_s = 2;
  std::this_thread::sleep_for(std::chrono::seconds(warmup_s));
  const size_t first = side.SampleCount();
  const long rss0 = CurrentRssKb();
  long rss_max = rss0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int s = 0; s < seconds; ++s) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    rss_max = std::max(rss_max, CurrentRssKb());
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const auto samples = side.Samples();
  const auto stream = side.Stream();
  const auto handed1 = snapshot();
  const size_t side_first = align(samples, stream, handed1);
  size_t window_pictures = 0, window_bytes = 0;
  std::vector<int64_t> latencies, in_pipeline, in_sending;
  for (size_t i = first; i < samples.size(); ++i) {
    if (!IsPicture(stream.data() + samples[i].offset, samples[i].size)) continue;
    ++window_pictures;
    window_bytes += samples[i].size;
    if (i < side_first || i - side_first >= handed1.size()) continue;
    const Handed& h = handed1[i - side_first];
    if (h.capture_us == 0) continue;
    latencies.push_back(samples[i].last_byte_us - h.capture_us);
    in_pipeline.push_back(h.output_us - h.capture_us);
    in_sending.push_back(samples[i].last_byte_us - h.output_us);
  }
  std::printf("pictures handed out %zu, samples received %zu\n", handed1.size(), samples.size());
  std::printf("free receiver: %.1f fps, %.2f Mbit/s, latency capture->last byte median %.2f ms, "
              "p99 %.2f ms, max %.2f ms (%zu samples)\n",
              static_cast<double>(window_pictures) / elapsed,
              static_cast<double>(window_bytes) * 8 / elapsed / 1e6, Percentile(latencies, 0.5),
              Percentile(latencies, 0.99), Percentile(latencies, 1.0), latencies.size());
  std::printf("  of which capture->pipeline output p99 %.2f ms, output->last byte read p99 %.2f ms\n",
              Percentile(in_pipeline, 0.99), Percentile(in_sending, 0.99));
  std::printf("rss: %ld KiB at start of window, %ld KiB max (receiver keeps every byte)\n", rss0,
              rss_max);

  // --- Phase 2: a receiver reading at a fixed rate. ---
  side.SetReadRate(static_cast<size_t>(throttle_kbps) * 1024);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const size_t probe_first = snapshot().size();
  const auto t1 = std::chrono::steady_clock::now();
  const size_t side_count0 = side.SampleCount();
  long sender_max = 0, receiver_max = 0;
  double sender_sum = 0;
  int queue_samples = 0;
  while (std::chrono::steady_clock::now() - t1 < std::chrono::seconds(seconds)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const KernelQueues q = ReadKernelQueues(side.DataPort());
    if (q.sender < 0) continue;
    sender_max = std::max(sender_max, q.sender);
    receiver_max = std::max(receiver_max, q.receiver);
    sender_sum += static_cast<double>(q.sender);
    ++queue_samples;
  }
  const double elapsed2 =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
  const size_t side_count1 = side.SampleCount();
  const auto expected = snapshot();
  side.SetReadRate(0);
  side.WaitForSamples(side_first + expected.size(), std::chrono::seconds(30));
  const auto samples2 = side.Samples();
  const auto stream2 = side.Stream();
  size_t matched = 0, mismatched = 0;
  std::vector<int64_t> stale;  // pictures read within the throttled window
  const int64_t from = SteadyUs(t1), to = from + static_cast<int64_t>(elapsed2 * 1e6);
  for (size_t i = 0; i < expected.size() && side_first + i < samples2.size(); ++i) {
    const auto& s = samples2[side_first + i];
    (Fnv(stream2.data() + s.offset, s.size) == expected[i].hash) ? ++matched : ++mismatched;
    if (expected[i].capture_us != 0 && s.last_byte_us >= from && s.last_byte_us <= to)
      stale.push_back(s.last_byte_us - expected[i].capture_us);
  }
  size_t window_read = 0;
  for (size_t i = side_count0; i < side_count1 && i < samples2.size(); ++i) window_read += samples2[i].size;
  std::printf("throttled receiver at %d KiB/s: %.1f samples/s read (%.1f KiB/s), pipeline handed out "
              "%.1f samples/s\n",
              throttle_kbps, static_cast<double>(side_count1 - side_count0) / elapsed2,
              static_cast<double>(window_read) / 1024.0 / elapsed2,
              static_cast<double>(expected.size() - probe_first) / elapsed2);
  std::printf("throttled: %zu samples handed out (both phases), %zu arrived intact and in order, "
              "%zu differ, %zu missing\n",
              expected.size(), matched, mismatched, expected.size() - matched - mismatched);
  std::printf("throttled: capture->last byte read median %.0f ms, p99 %.0f ms; kernel queue on the "
              "sender's socket mean %.1f KiB, max %.1f KiB; unread at the receiver max %.1f KiB\n",
              Percentile(stale, 0.5), Percentile(stale, 0.99),
              queue_samples > 0 ? sender_sum / queue_samples / 1024.0 : 0.0, sender_max / 1024.0,
              receiver_max / 1024.0);

  controller->Teardown();
  global->Stop("zz-probe");
  service.Shutdown();
  side.Stop();
  return 0;
}
