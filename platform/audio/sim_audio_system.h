#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_system.h"

namespace platform::audio {

// A scripted sound system for tests: endpoints with their own mix format, mute and
// volume; a queue of packets that whichever loopback stream is open reads; failures to
// inject; and a record of every call that changes the system. Its clock only moves
// when a packet that carries a delay is read, so gaps between packets are exact.
class SimAudioSystem : public AudioSystem {
 public:
  SimAudioSystem();
  ~SimAudioSystem() override;

  // --- Script ---
  void AddEndpoint(const std::string& id, const std::string& connected_device_id,
                   const MixFormat& format = MixFormat{}, bool active = true);
  void SetEndpointActive(const std::string& id, bool active);
  void ClearEndpoints();
  // The user's own actions; they notify subscribers and are not recorded as calls.
  void UserSetDefault(const std::string& id);
  void UserSetMute(bool muted);
  void UserSetVolume(float volume);
  // Appends a packet for the open (or next) loopback stream. `gap_before` moves the
  // clock when the packet is read.
  void QueuePacket(std::vector<uint8_t> bytes, uint32_t frames, bool silent = false,
                   std::chrono::milliseconds gap_before = std::chrono::milliseconds(0));
  // The next `count` OpenLoopback calls fail with `result`.
  void FailOpens(int count, AudioResult result = AudioResult::kFailed);
  // Every OpenLoopback fails until called with false.
  void SetOpenFailing(bool failing);
  // The open stream's next wait reports an error.
  void InjectStreamError();

  // --- Observation ---
  std::vector<std::string> Calls() const;  // "SetMute(1)", "SetMasterVolume(0.50)", ...
  void ClearCalls();
  int OpenAttempts() const;
  std::vector<std::chrono::steady_clock::time_point> OpenAttemptTimes() const;
  std::vector<std::string> OpenedEndpoints() const;  // endpoint id of each successful open
  int OpenStreams() const;
  int Subscriptions() const;
  size_t QueuedPackets() const;
  std::string DefaultId() const;
  bool MuteOf(const std::string& id) const;
  float VolumeOf(const std::string& id) const;
  // Waits until the queue is empty and no packet is held, or the time-out passes.
  bool WaitQueueDrained(std::chrono::milliseconds timeout) const;
  // Waits until `count` opens have been attempted, or the time-out passes.
  bool WaitOpenAttempts(int count, std::chrono::milliseconds timeout) const;

  // --- AudioSystem ---
  std::chrono::steady_clock::time_point Now() override;
  AudioResult GetDefaultEndpoint(Endpoint* endpoint) override;
  AudioResult ActiveEndpoints(std::vector<Endpoint>* endpoints) override;
  AudioResult SetDefaultEndpoint(const std::string& id) override;
  AudioResult GetMute(bool* muted) override;
  AudioResult SetMute(bool muted) override;
  AudioResult GetMasterVolume(float* volume) override;
  AudioResult SetMasterVolume(float volume) override;
  std::unique_ptr<Subscription> SubscribeEndpointChanges(EndpointObserver* observer) override;
  std::unique_ptr<Subscription> SubscribeVolume(EndpointObserver* observer) override;
  // The simulated loopback hears a muted endpoint anyway: a hold changes nothing.
  std::unique_ptr<CaptureHold> HoldForCapture() override { return std::make_unique<CaptureHold>(); }
  AudioResult OpenLoopback(std::unique_ptr<LoopbackStream>* stream) override;
  // A simulated system starts afresh with each process: nothing is left to recover.
  AudioResult RecoverOutput() override { return AudioResult::kOk; }

 private:
  class SimStream;
  class SimSubscription;
  struct EndpointState {
    std::string connected_device_id;
    MixFormat format;
    bool active = true;
    bool muted = false;
    float volume = 1.0f;
    int order = 0;
  };
  struct QueuedPacket {
    std::vector<uint8_t> bytes;
    uint32_t frames = 0;
    bool silent = false;
    std::chrono::milliseconds gap_before{0};
  };
  struct Registration {
    EndpointObserver* observer = nullptr;
    bool volume = false;          // volume registration (else endpoint changes)
    std::string endpoint;         // endpoint a volume registration belongs to
  };

  void NotifyDefaultChanged();
  void NotifyVolume(const std::string& endpoint);
  void Unregister(int token);
  std::vector<std::pair<std::string, const EndpointState*>> SortedEndpointsLocked() const;

  // Guards the state below; never held while an observer is called.
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, EndpointState> endpoints_;
  int next_order_ = 0;
  std::string default_id_;
  std::deque<QueuedPacket> queue_;
  bool packet_held_ = false;
  bool stream_error_ = false;
  int fail_opens_ = 0;
  AudioResult fail_result_ = AudioResult::kFailed;
  bool open_failing_ = false;
  int open_attempts_ = 0;
  std::vector<std::chrono::steady_clock::time_point> open_times_;
  std::vector<std::string> opened_;
  int open_streams_ = 0;
  std::vector<std::string> calls_;
  std::chrono::steady_clock::time_point clock_;

  // Held while observers are called, so that unregistering waits for a delivery in
  // progress. Recursive: an observer may call back into the system, which notifies.
  std::recursive_mutex observers_mutex_;
  std::map<int, Registration> registrations_;
  int next_token_ = 1;
};

}  // namespace platform::audio
