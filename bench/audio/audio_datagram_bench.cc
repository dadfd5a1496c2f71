// Measures what the audio sender adds between an encoded packet leaving the source and
// its datagram arriving on a loopback socket: hand-over, queue, framing, send loop and
// the UDP send (mean, p99, max), at the real pace of one packet per 40 ms.
// Usage: audio_datagram_bench [packets, default 150] [repeat count, default 1]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "services/audio/audio_sender.h"
#include "services/audio/source/i_audio_source.h"

namespace {

using Clock = std::chrono::steady_clock;

class BenchSource : public audiosource::IAudioSource {
 public:
  void Start() override {}
  void Stop() override {}
  void SetSink(Sink sink) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
  }
  uint32_t GetSampleRate() override { return 48000; }
  uint32_t GetChannelCount() override { return 2; }
  uint32_t GetFrameCountPerPacket() override { return 1920; }
  void SetMuteLocalOutput(bool) override {}
  void Emit(const std::vector<uint8_t>& packet) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sink_) sink_(packet.data(), static_cast<unsigned>(packet.size()));
  }

 private:
  std::mutex mutex_;
  Sink sink_;
};

}  // namespace

int main(int argc, char** argv) {
  const int packets = argc > 1 ? std::atoi(argv[1]) : 150;
  const uint32_t repeats = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 1;

  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::perror("socket");
    return 1;
  }

  auto source = std::make_shared<BenchSource>();
  crcp::audio::AudioSender sender(source);
  sender.Connect({ntohs(addr.sin_port), "127.0.0.1"});
  sender.SetRepeatCount(repeats);
  sender.StartSender();

  std::vector<uint8_t> packet(400, 0x5A);  // a typical 128 kbit/s Opus packet
  std::vector<double> micros;
  std::vector<uint8_t> buffer(2048);
  auto next = Clock::now();
  for (int i = 0; i < packets; ++i) {
    std::this_thread::sleep_until(next);
    next += std::chrono::milliseconds(40);
    const auto handed = Clock::now();
    source->Emit(packet);
    for (uint32_t r = 0; r < repeats; ++r) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0 || ::recv(fd, buffer.data(), buffer.size(), 0) <= 0) {
        std::fprintf(stderr, "datagram %d lost\n", i);
        return 1;
      }
      if (r == 0)
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - handed).count());
    }
  }
  sender.StopSender();
  ::close(fd);

  std::sort(micros.begin(), micros.end());
  double sum = 0;
  for (double m : micros) sum += m;
  std::printf("packets %zu, repeat count %u\n", micros.size(), repeats);
  std::printf("hand-over to first datagram on the socket: mean %.1f us, p99 %.1f us, max %.1f us\n",
              sum / micros.size(), micros[micros.size() * 99 / 100], micros.back());
  return 0;
}
