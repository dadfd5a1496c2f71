#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio/audio_system.h"

namespace platform::audio {

// The sound system of a PulseAudio (or compatible) server. The default render endpoint
// is the server's default sink; loopback records that sink's monitor source in the
// sink's own sample format, rate and channel count.
//
// The monitor taps the sink's mix after the sink's software volume and soft mute: on a
// sink without hardware volume the captured sound is already scaled (the stream says so
// through AppliesEndpointVolume) and a muted sink records silence. Sinks with hardware
// volume and mute record the full mix whatever the local output does.
//
// The server is connected on first use and again after it went away; without a server
// every call fails with kNoServer at once (no autospawn).
class PulseAudioSystem : public AudioSystem {
 public:
  PulseAudioSystem();
  ~PulseAudioSystem() override;

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
  AudioResult OpenLoopback(std::unique_ptr<LoopbackStream>* stream) override;

  // Notifications queued by the server connection, delivered on a thread of their own
  // so that observers may call back into the system. Public for the connection's use.
  struct Event {
    bool volume = false;  // else: default sink changed
    std::string sink;
    bool muted = false;
    float volume_level = 1.0f;
  };
  class Notifier;

 private:
  class Connection;
  class Stream;
  class PulseSubscription;

  // The live connection, made or remade as needed; empty without a server.
  std::shared_ptr<Connection> Connect(AudioResult* result);

  std::mutex connect_mutex_;
  std::shared_ptr<Connection> connection_;
  std::shared_ptr<Notifier> notifier_;
};

}  // namespace platform::audio
