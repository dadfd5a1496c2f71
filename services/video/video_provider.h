#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "services/video/global_source_controller.h"
#include "services/video/i_video_sender.h"
#include "services/media_link/packet_ring_buffer.h"

namespace crcp::video {

// One session's consumer of the shared pipeline: each encoded sample becomes a
// serialised media packet (type 0, length, the sample's stamp, the bytes as encoded)
// in a ring of three slots, so at most two packets wait and a slow receiver holds the
// pipeline's output thread back instead of losing samples. A monitor thread logs the
// counters and reports congestion as link statistics.
class VideoProvider {
 public:
  using TcpInfoCallback = IVideoSender::TcpInfoCallback;
  static constexpr size_t kRingSlots = 3;

  struct Options {
    std::chrono::milliseconds round{50};
    // Every this many rounds (10 s) the counters are logged and congestion reported.
    int report_rounds = 200;
  };

  explicit VideoProvider(std::shared_ptr<GlobalSourceController> controller);
  VideoProvider(std::shared_ptr<GlobalSourceController> controller, Options options);
  ~VideoProvider();  // Stop

  VideoProvider(const VideoProvider&) = delete;
  VideoProvider& operator=(const VideoProvider&) = delete;

  // Registers with the shared pipeline under a name of its own, empties the ring,
  // restarts the counters and the monitor thread, and starts the pipeline.
  void Start();
  // Releases the ring on both sides, joins the monitor thread and leaves the pipeline.
  void Stop();
  bool IsRunning() const;

  // The output callback: runs on the pipeline's output thread; blocks while two
  // packets wait. Nothing while stopped.
  void PushSample(const uint8_t* data, size_t size, uint64_t stamp);
  // The next packet; blocks while none waits. False once stopped.
  bool OfferPacket(std::vector<uint8_t>& packet);

  void ChangeResolution(int width, int height);
  void RequestKeyFrame();
  void SetTcpInfoCallback(TcpInfoCallback callback);

  const std::string& name() const { return name_; }
  uint32_t InCount() const;
  uint32_t OutCount() const;
  size_t Queued() const;

  struct State;

 private:
  void MonitorLoop();

  const Options options_;
  const std::string name_;
  const std::shared_ptr<GlobalSourceController> controller_;
  // Shared with the interrupt installed in the pipeline, which the pipeline's stop may
  // call while the provider stops.
  const std::shared_ptr<State> state_;
  std::mutex lifecycle_mutex_;  // Start and Stop
  std::mutex monitor_mutex_;
  std::condition_variable monitor_wake_;
  std::future<void> monitor_;
};

}  // namespace crcp::video
