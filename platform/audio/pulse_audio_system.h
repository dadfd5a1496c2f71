#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_system.h"

namespace platform::audio {

class PulseConnection;
class PulseNotifier;
struct SinkInfo;

// The sound system of a PulseAudio (or compatible) server. The default render endpoint
// is the server's default sink; loopback records that sink's monitor source in the
// sink's own sample format, rate and channel count.
//
// The monitor taps the sink's mix after the sink's software volume and mute (measured:
// a null sink at volume 0.5 records the tone at 1/8 of its amplitude, muted it records
// silence). So a stream of a sink without hardware volume says that it already carries
// the volume (AppliesEndpointVolume), and while a capture holds the system (HoldForCapture)
// muting is not done with the sink's own mute, which would silence the capture as well:
// SetMute(true) moves the output's streams to a null sink of the same format
// ("castora_muted_output") that becomes the server's default, the loopback then records
// that sink's monitor at full volume, and nothing reaches the speakers. The stand-in is
// invisible through this interface (the output stays the default endpoint and reads as
// muted, and the stand-in is never listed); it follows the user's output when another
// one is picked or the output goes away (see PulseConnection). SetMute(false) moves the
// streams back and removes it, leaving the output's own mute as it is; so does the end
// of the last hold, which mutes the output the ordinary way first. Without a hold
// SetMute is the sink's own mute. The stand-in names the output it stands in for (a
// property), so one left over from an earlier run (killed while sharing) is undone on
// connect: the output gets its streams and the default back and the stand-in goes.
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
  std::unique_ptr<CaptureHold> HoldForCapture() override;
  AudioResult OpenLoopback(std::unique_ptr<LoopbackStream>* stream) override;
  AudioResult RecoverOutput() override;

 private:
  class Hold;
  void ReleaseHold();

  // The live connection, made or remade as needed; empty without a server.
  std::shared_ptr<PulseConnection> Connect(AudioResult* result);
  // The live connection and its default sink; empty (the result says why) without
  // either.
  std::shared_ptr<PulseConnection> ConnectToDefaultSink(SinkInfo* sink, AudioResult* result);

  std::mutex connect_mutex_;
  std::shared_ptr<PulseConnection> connection_;
  int holds_ = 0;  // under connect_mutex_; handed to every new connection
  std::shared_ptr<PulseNotifier> notifier_;
};

}  // namespace platform::audio
