#include "services/video/video_provider.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "services/media_link/video_packet.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {

const char* const kLogTag = "MirrorVideo::Provider";

// Every provider registers under a name of its own: two sessions on one pipeline must
// not replace each other's callback.
std::string NextConsumerName() {
  static std::atomic<uint64_t> next{1};
  return "default-" + std::to_string(next.fetch_add(1));
}

}  // namespace

struct VideoProvider::State {
  PacketRingBuffer ring{kRingSlots};
  std::atomic<bool> running{false};
  // Written on the output thread and the sender's thread, read by the monitor. A
  // sample counts in while it waits for room and once queued; one the ring turns away
  // (a pipeline restart releases the wait) does not, or the congestion test below
  // would be off for the rest of the share.
  std::atomic<uint32_t> in_count{0};
  std::atomic<uint32_t> out_count{0};
  std::mutex callback_mutex;
  TcpInfoCallback tcp_info;
  // Output-thread scratch: the last serialised packet.
  std::vector<uint8_t> scratch;

  void Push(const uint8_t* data, size_t size, uint64_t stamp) {
    if (!running) return;
    scratch.resize(kVideoPacketHeaderSize + size);
    WriteVideoPacketHeader(0, static_cast<uint32_t>(size), stamp, scratch.data());
    if (size) std::copy(data, data + size, scratch.begin() + kVideoPacketHeaderSize);
    ++in_count;
    if (!ring.Push(scratch)) --in_count;
  }
};

VideoProvider::VideoProvider(std::shared_ptr<GlobalSourceController> controller)
    : VideoProvider(std::move(controller), Options()) {}

VideoProvider::VideoProvider(std::shared_ptr<GlobalSourceController> controller, Options options)
    : options_(options),
      name_(NextConsumerName()),
      controller_(std::move(controller)),
      state_(std::make_shared<State>()) {}

VideoProvider::~VideoProvider() { Stop(); }

void VideoProvider::Start() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  if (state_->running) return;
  // Stop leaves the pipeline before the provider can go, and leaving waits for a call
  // in flight: the output callback may use the provider itself.
  controller_->AddOutputCallback(
      name_, [this](uint8_t* data, uint32_t size, uint64_t stamp) { PushSample(data, size, stamp); },
      [state = state_](bool interrupted) { state->ring.SetInterrupted(interrupted); });
  state_->ring.Clear();
  state_->ring.SetInterrupted(false);
  state_->ring.SetStopped(false);
  state_->in_count = 0;
  state_->out_count = 0;
  state_->running = true;
  monitor_ = std::async(std::launch::async, [this] { MonitorLoop(); });
  controller_->Start();
}

void VideoProvider::Stop() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  {
    std::lock_guard<std::mutex> lock(monitor_mutex_);
    if (!state_->running.exchange(false)) return;
  }
  state_->ring.SetStopped(true);
  monitor_wake_.notify_all();
  if (monitor_.valid()) monitor_.wait();
  controller_->Stop(name_);
}

bool VideoProvider::IsRunning() const { return state_->running; }

void VideoProvider::PushSample(const uint8_t* data, size_t size, uint64_t stamp) {
  state_->Push(data, size, stamp);
}

bool VideoProvider::OfferPacket(std::vector<uint8_t>& packet) {
  if (!state_->ring.Pop(packet)) {
    LOG_INFO("false");
    return false;
  }
  ++state_->out_count;
  return true;
}

void VideoProvider::ChangeResolution(int width, int height) {
  controller_->Pause();
  controller_->SetOutputSize(width, height);
  controller_->Resume();
}

void VideoProvider::RequestKeyFrame() { controller_->RequestKeyFrame(); }

void VideoProvider::SetTcpInfoCallback(TcpInfoCallback callback) {
  std::lock_guard<std::mutex> lock(state_->callback_mutex);
  state_->tcp_info = std::move(callback);
}

uint32_t VideoProvider::InCount() const { return state_->in_count; }
uint32_t VideoProvider::OutCount() const { return state_->out_count; }
size_t VideoProvider::Queued() const { return state_->ring.Size(); }

void VideoProvider::MonitorLoop() {
  try {
    int round = 0;
    std::unique_lock<std::mutex> lock(monitor_mutex_);
    while (state_->running) {
      monitor_wake_.wait_for(lock, options_.round, [this] { return !state_->running; });
      if (!state_->running) break;
      if (++round % options_.report_rounds != 0) continue;
      const uint32_t in = state_->in_count, out = state_->out_count;
      LOG_INFO("in_buffer_count_: {}", in);
      LOG_INFO("out_buffer_count_: {}", out);
      // Two packets wait and a third sample is held at the door: the link is congested.
      if (in - out == kRingSlots) {
        TcpInfoCallback callback;
        {
          std::lock_guard<std::mutex> cb(state_->callback_mutex);
          callback = state_->tcp_info;
        }
        if (callback) {
          // The send may block on a slow link; Stop must not wait behind it.
          lock.unlock();
          callback(1, 0, 0, 0);
          lock.lock();
        }
      }
    }
  } catch (const std::exception& e) {
    LOG_ERROR("monitor ended by exception: {}", e.what());
  }
}

}  // namespace crcp::video
