#include "services/audio/audio_sender.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>
#include <utility>
#include <vector>

#include "services/audio/audio_provider.h"
#include "services/audio/udp_sender.h"
#include "services/media_link/packet_ring_buffer.h"
#include "utils/logger.h"

namespace crcp::audio {
namespace {

const char* const kLogTag = "MirrorAudio::AudioSender";

// Seven slots, one always free: at most six datagrams (240 ms of sound) wait.
constexpr size_t kQueueSlots = 7;
constexpr std::chrono::milliseconds kCountTick{100};
constexpr int kTicksPerCountLog = 1200;  // two minutes

}  // namespace

class AudioSender::AudioSenderImpl {
 public:
  explicit AudioSenderImpl(std::shared_ptr<audiosource::IAudioSource> source)
      : udp_sender_(std::make_shared<UdpSender>()),
        source_(std::move(source)),
        provider_(std::make_shared<AudioProvider>(source_)) {
    provider_->SetCallback([this](std::vector<uint8_t> datagram) { HandOver(std::move(datagram)); });
  }

  ~AudioSenderImpl() {
    LOG_INFO("sender Disconnect");
    // Stop before the socket goes: the send loop must not be inside a send on a socket
    // that is being closed.
    StopSender();
    udp_sender_->Disconnect();
    LOG_INFO("sender thread get");
    WaitTasks();
    // The provider leaves the source's sink before the queue it hands over to goes.
    provider_.reset();
  }

  void Connect(const AudioEndpoint& endpoint) { udp_sender_->Connect(endpoint.host, endpoint.port); }
  void SetRepeatCount(uint32_t count) { repeat_count_ = count; }
  uint32_t GetRepeatCount() const { return repeat_count_; }
  bool IsRunning() const { return running_; }
  uint64_t PacketsIn() const { return packets_in_; }
  uint64_t PacketsOut() const { return packets_out_; }

  void StartSender() {
    std::lock_guard<std::mutex> lock(control_mutex_);
    if (running_) return;
    LOG_INFO("audio start sender");
    WaitTasks();  // loops of an earlier start have ended by now
    running_ = true;
    queue_.Clear();
    queue_.SetStopped(false);
    {
      std::lock_guard<std::mutex> tick_lock(tick_mutex_);
      count_stop_ = false;
    }
    send_task_ = std::async(std::launch::async, [this] { SendLoop(); });
    count_task_ = std::async(std::launch::async, [this] { CountBuffer(); });
    provider_->Start();
  }

  void StopSender() {
    std::lock_guard<std::mutex> lock(control_mutex_);
    if (!running_) return;
    LOG_INFO("audio stop sender");
    running_ = false;
    queue_.SetStopped(true);
    {
      std::lock_guard<std::mutex> tick_lock(tick_mutex_);
      count_stop_ = true;
    }
    tick_cv_.notify_all();
    udp_sender_->Cancel();
    WaitTasks();
    provider_->Stop();
    LOG_INFO("audio stoped sender");
  }

 private:
  // Capture thread.
  void HandOver(std::vector<uint8_t> datagram) {
    if (!running_) return;
    if (queue_.Push(datagram)) ++packets_in_;
  }

  void SendLoop() {
    try {
      while (running_) {
        if (!queue_.Pop(current_)) break;
        if (!running_) break;
        bool stopped = false;
        for (uint32_t i = 0; i < repeat_count_; ++i) {
          const int result = udp_sender_->Send(current_);
          if (result < 0) LOG_INFO("audio sendto fail, error code {}", result);
          if (!running_) {
            stopped = true;
            break;
          }
        }
        if (stopped) break;
        ++packets_out_;
      }
    } catch (const std::exception& e) {
      LOG_ERROR("send loop caught: {}", e.what());
    }
  }

  // Waits on a condition rather than sleeping, so that a stop ends it at once.
  void CountBuffer() {
    LOG_INFO("begin count");
    int ticks = 0;
    std::unique_lock<std::mutex> lock(tick_mutex_);
    while (!count_stop_) {
      if (tick_cv_.wait_for(lock, kCountTick, [this] { return count_stop_; })) break;
      if (++ticks >= kTicksPerCountLog) {
        LOG_INFO("audio_in_buffer_: {}", packets_in_.load());
        LOG_INFO("audio_out_buffer_: {}", packets_out_.load());
        ticks = 0;
      }
    }
  }

  void WaitTasks() {
    if (send_task_.valid()) send_task_.wait();
    if (count_task_.valid()) count_task_.wait();
  }

  std::atomic<bool> running_{false};
  std::atomic<uint32_t> repeat_count_{1};
  std::shared_ptr<UdpSender> udp_sender_;
  std::shared_ptr<audiosource::IAudioSource> source_;
  std::shared_ptr<AudioProvider> provider_;
  crcp::video::PacketRingBuffer queue_{kQueueSlots};
  std::vector<uint8_t> current_;  // send loop only
  std::atomic<uint64_t> packets_in_{0};
  std::atomic<uint64_t> packets_out_{0};
  // Serialises StartSender and StopSender: the command session's worker and the
  // session's owner both call them.
  std::mutex control_mutex_;
  std::mutex tick_mutex_;
  std::condition_variable tick_cv_;
  bool count_stop_ = false;
  std::future<void> send_task_;
  std::future<void> count_task_;
};

AudioSender::AudioSender(std::shared_ptr<audiosource::IAudioSource> source)
    : impl_(std::make_unique<AudioSenderImpl>(std::move(source))) {}
AudioSender::~AudioSender() = default;
void AudioSender::Connect(const AudioEndpoint& endpoint) { impl_->Connect(endpoint); }
void AudioSender::SetRepeatCount(uint32_t count) { impl_->SetRepeatCount(count); }
uint32_t AudioSender::GetRepeatCount() const { return impl_->GetRepeatCount(); }
void AudioSender::StartSender() { impl_->StartSender(); }
void AudioSender::StopSender() { impl_->StopSender(); }
bool AudioSender::IsRunning() const { return impl_->IsRunning(); }
uint64_t AudioSender::PacketsIn() const { return impl_->PacketsIn(); }
uint64_t AudioSender::PacketsOut() const { return impl_->PacketsOut(); }

}  // namespace crcp::audio
