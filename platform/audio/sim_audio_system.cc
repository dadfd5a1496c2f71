#include "platform/audio/sim_audio_system.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace platform::audio {

namespace {
// Nothing in the simulation sleeps on this clock; it starts at an arbitrary point.
constexpr std::chrono::hours kClockStart{1};
}  // namespace

class SimAudioSystem::SimSubscription : public Subscription {
 public:
  SimSubscription(SimAudioSystem* system, int token) : system_(system), token_(token) {}
  ~SimSubscription() override { system_->Unregister(token_); }

 private:
  SimAudioSystem* system_;
  int token_;
};

class SimAudioSystem::SimStream : public LoopbackStream {
 public:
  SimStream(SimAudioSystem* system, const MixFormat& format) : system_(system), format_(format) {}
  ~SimStream() override {
    std::lock_guard<std::mutex> lock(system_->mutex_);
    system_->packet_held_ = false;
    --system_->open_streams_;
    system_->changed_.notify_all();
  }

  MixFormat Format() const override { return format_; }
  bool AppliesEndpointVolume() const override { return false; }
  AudioResult Start() override { return AudioResult::kOk; }

  WaitResult WaitForData(std::chrono::milliseconds timeout) override {
    std::unique_lock<std::mutex> lock(system_->mutex_);
    system_->changed_.wait_for(lock, timeout, [this] {
      return system_->stream_error_ || !system_->queue_.empty();
    });
    if (system_->stream_error_) {
      system_->stream_error_ = false;
      return WaitResult::kError;
    }
    return system_->queue_.empty() ? WaitResult::kTimeout : WaitResult::kData;
  }

  ReadResult ReadPacket(CapturePacket* packet) override {
    std::lock_guard<std::mutex> lock(system_->mutex_);
    if (system_->stream_error_) {
      system_->stream_error_ = false;
      return ReadResult::kError;
    }
    if (system_->queue_.empty()) return ReadResult::kEmpty;
    current_ = std::move(system_->queue_.front());
    system_->queue_.pop_front();
    system_->packet_held_ = true;
    system_->clock_ += current_.gap_before;
    packet->data = current_.bytes.empty() ? nullptr : current_.bytes.data();
    packet->frames = current_.frames;
    packet->silent = current_.silent;
    return ReadResult::kPacket;
  }

  void ReleasePacket() override {
    std::lock_guard<std::mutex> lock(system_->mutex_);
    system_->packet_held_ = false;
    system_->changed_.notify_all();
  }

 private:
  SimAudioSystem* system_;
  MixFormat format_;
  QueuedPacket current_;
};

SimAudioSystem::SimAudioSystem() : clock_(std::chrono::steady_clock::time_point(kClockStart)) {}

SimAudioSystem::~SimAudioSystem() = default;

void SimAudioSystem::AddEndpoint(const std::string& id, const std::string& connected_device_id,
                                 const MixFormat& format, bool active) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    EndpointState& state = endpoints_[id];
    state.connected_device_id = connected_device_id;
    state.format = format;
    state.active = active;
    state.order = next_order_++;
    if (default_id_.empty() && active) default_id_ = id;
  }
}

void SimAudioSystem::SetEndpointActive(const std::string& id, bool active) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(id);
  if (it != endpoints_.end()) it->second.active = active;
}

void SimAudioSystem::ClearEndpoints() {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints_.clear();
  default_id_.clear();
}

void SimAudioSystem::UserSetDefault(const std::string& id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    default_id_ = id;
  }
  NotifyDefaultChanged();
}

void SimAudioSystem::UserSetMute(bool muted) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = endpoints_.find(default_id_);
    if (it == endpoints_.end()) return;
    it->second.muted = muted;
    id = default_id_;
  }
  NotifyVolume(id);
}

void SimAudioSystem::UserSetVolume(float volume) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = endpoints_.find(default_id_);
    if (it == endpoints_.end()) return;
    it->second.volume = volume;
    id = default_id_;
  }
  NotifyVolume(id);
}

void SimAudioSystem::QueuePacket(std::vector<uint8_t> bytes, uint32_t frames, bool silent,
                                 std::chrono::milliseconds gap_before) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(QueuedPacket{std::move(bytes), frames, silent, gap_before});
  changed_.notify_all();
}

void SimAudioSystem::FailOpens(int count, AudioResult result) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_opens_ = count;
  fail_result_ = result;
}

void SimAudioSystem::SetOpenFailing(bool failing) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_failing_ = failing;
}

void SimAudioSystem::InjectStreamError() {
  std::lock_guard<std::mutex> lock(mutex_);
  stream_error_ = true;
  changed_.notify_all();
}

std::vector<std::string> SimAudioSystem::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void SimAudioSystem::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

int SimAudioSystem::OpenAttempts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_attempts_;
}

std::vector<std::chrono::steady_clock::time_point> SimAudioSystem::OpenAttemptTimes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_times_;
}

std::vector<std::string> SimAudioSystem::OpenedEndpoints() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opened_;
}

int SimAudioSystem::OpenStreams() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_streams_;
}

int SimAudioSystem::Subscriptions() const {
  std::lock_guard<std::recursive_mutex> lock(const_cast<SimAudioSystem*>(this)->observers_mutex_);
  return static_cast<int>(registrations_.size());
}

size_t SimAudioSystem::QueuedPackets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

std::string SimAudioSystem::DefaultId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return default_id_;
}

bool SimAudioSystem::MuteOf(const std::string& id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(id);
  return it != endpoints_.end() && it->second.muted;
}

float SimAudioSystem::VolumeOf(const std::string& id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(id);
  return it == endpoints_.end() ? 0.0f : it->second.volume;
}

bool SimAudioSystem::WaitQueueDrained(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return queue_.empty() && !packet_held_; });
}

bool SimAudioSystem::WaitOpenAttempts(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return open_attempts_ >= count; });
}

std::chrono::steady_clock::time_point SimAudioSystem::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return clock_;
}

AudioResult SimAudioSystem::GetDefaultEndpoint(Endpoint* endpoint) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(default_id_);
  if (it == endpoints_.end()) return AudioResult::kNoDevice;
  endpoint->id = it->first;
  endpoint->connected_device_id = it->second.connected_device_id;
  return AudioResult::kOk;
}

std::vector<std::pair<std::string, const SimAudioSystem::EndpointState*>>
SimAudioSystem::SortedEndpointsLocked() const {
  std::vector<std::pair<std::string, const EndpointState*>> sorted;
  for (const auto& kv : endpoints_) sorted.emplace_back(kv.first, &kv.second);
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.second->order < b.second->order; });
  return sorted;
}

AudioResult SimAudioSystem::ActiveEndpoints(std::vector<Endpoint>* endpoints) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints->clear();
  for (const auto& kv : SortedEndpointsLocked()) {
    if (kv.second->active) endpoints->push_back(Endpoint{kv.first, kv.second->connected_device_id});
  }
  return AudioResult::kOk;
}

AudioResult SimAudioSystem::SetDefaultEndpoint(const std::string& id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("SetDefaultEndpoint(" + id + ")");
    auto it = endpoints_.find(id);
    if (it == endpoints_.end() || !it->second.active) return AudioResult::kFailed;
    default_id_ = id;
  }
  NotifyDefaultChanged();
  return AudioResult::kOk;
}

AudioResult SimAudioSystem::GetMute(bool* muted) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(default_id_);
  if (it == endpoints_.end()) return AudioResult::kNoDevice;
  *muted = it->second.muted;
  return AudioResult::kOk;
}

AudioResult SimAudioSystem::SetMute(bool muted) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::string("SetMute(") + (muted ? "1" : "0") + ")");
    auto it = endpoints_.find(default_id_);
    if (it == endpoints_.end()) return AudioResult::kNoDevice;
    it->second.muted = muted;
    id = default_id_;
  }
  NotifyVolume(id);
  return AudioResult::kOk;
}

AudioResult SimAudioSystem::GetMasterVolume(float* volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(default_id_);
  if (it == endpoints_.end()) return AudioResult::kNoDevice;
  *volume = it->second.volume;
  return AudioResult::kOk;
}

AudioResult SimAudioSystem::SetMasterVolume(float volume) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    char text[48];
    std::snprintf(text, sizeof(text), "SetMasterVolume(%.2f)", static_cast<double>(volume));
    calls_.push_back(text);
    auto it = endpoints_.find(default_id_);
    if (it == endpoints_.end()) return AudioResult::kNoDevice;
    it->second.volume = volume;
    id = default_id_;
  }
  NotifyVolume(id);
  return AudioResult::kOk;
}

std::unique_ptr<Subscription> SimAudioSystem::SubscribeEndpointChanges(EndpointObserver* observer) {
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  int token = next_token_++;
  registrations_[token] = Registration{observer, false, std::string()};
  return std::make_unique<SimSubscription>(this, token);
}

std::unique_ptr<Subscription> SimAudioSystem::SubscribeVolume(EndpointObserver* observer) {
  std::string id = DefaultId();
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  int token = next_token_++;
  registrations_[token] = Registration{observer, true, id};
  return std::make_unique<SimSubscription>(this, token);
}

AudioResult SimAudioSystem::OpenLoopback(std::unique_ptr<LoopbackStream>* stream) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++open_attempts_;
  open_times_.push_back(std::chrono::steady_clock::now());
  changed_.notify_all();
  if (open_failing_) return fail_result_;
  if (fail_opens_ > 0) {
    --fail_opens_;
    return fail_result_;
  }
  auto it = endpoints_.find(default_id_);
  if (it == endpoints_.end()) return AudioResult::kNoDevice;
  opened_.push_back(default_id_);
  ++open_streams_;
  *stream = std::make_unique<SimStream>(this, it->second.format);
  return AudioResult::kOk;
}

void SimAudioSystem::NotifyDefaultChanged() {
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  // Copy: an observer may unsubscribe or subscribe from inside the call.
  auto registrations = registrations_;
  for (const auto& kv : registrations) {
    if (!kv.second.volume && registrations_.count(kv.first) != 0) {
      kv.second.observer->OnDefaultDeviceChanged();
    }
  }
}

void SimAudioSystem::NotifyVolume(const std::string& endpoint) {
  bool muted = false;
  float volume = 1.0f;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = endpoints_.find(endpoint);
    if (it == endpoints_.end()) return;
    muted = it->second.muted;
    volume = it->second.volume;
  }
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  auto registrations = registrations_;
  for (const auto& kv : registrations) {
    if (kv.second.volume && kv.second.endpoint == endpoint && registrations_.count(kv.first) != 0) {
      kv.second.observer->OnVolumeChanged(muted, volume);
    }
  }
}

void SimAudioSystem::Unregister(int token) {
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  registrations_.erase(token);
}

}  // namespace platform::audio
