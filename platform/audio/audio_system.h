#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The sound facilities the system-sound capture needs from the operating system: the
// default render endpoint and its volume, the list of active endpoints, the
// default-endpoint switch, change notifications and a loopback stream of what the
// default endpoint plays. One interface, a PulseAudio back-end for real use and a
// simulated one that tests script.
namespace platform::audio {

enum class SampleType { kInt16, kInt24, kInt32, kFloat32 };

// Interleaved PCM, channels in the usual wave order (FL FR FC LFE BL BR SL SR).
struct MixFormat {
  uint32_t sample_rate = 48000;
  uint32_t channels = 2;
  SampleType type = SampleType::kFloat32;

  uint32_t BytesPerSample() const;
  uint32_t BlockAlign() const { return BytesPerSample() * channels; }
  bool operator==(const MixFormat& o) const {
    return sample_rate == o.sample_rate && channels == o.channels && type == o.type;
  }
  bool operator!=(const MixFormat& o) const { return !(*this == o); }
};

// Outcome of a call into the sound system. The numeric value is what failure
// reports print, so the values never change.
enum class AudioResult : uint32_t {
  kOk = 0,
  kNoServer = 0x88890001,   // no sound server or not connected
  kNoDevice = 0x88890002,   // no default render endpoint
  kFailed = 0x88890003,     // the call itself failed
  kTimedOut = 0x88890004,   // the server did not answer in time
  kUnsupported = 0x88890005 // a sample format the stream cannot carry
};

struct Endpoint {
  std::string id;                   // the id the default-endpoint switch takes
  std::string connected_device_id;  // id of the hardware the endpoint is connected to
};

// Receives the sound system's notifications. Calls arrive on a thread of the sound
// system, never the caller's, and never after the subscription that delivers them
// has been destroyed.
class EndpointObserver {
 public:
  virtual ~EndpointObserver() = default;
  // The default render endpoint changed (any role).
  virtual void OnDefaultDeviceChanged() = 0;
  // The mute state or master volume of the subscribed endpoint changed.
  virtual void OnVolumeChanged(bool muted, float volume) = 0;
};

// Held while notifications are wanted; the destructor unregisters and waits for a
// notification that is being delivered on another thread.
class Subscription {
 public:
  virtual ~Subscription() = default;
};

// Held by a capture that keeps the local output muted; see AudioSystem::HoldForCapture.
class CaptureHold {
 public:
  virtual ~CaptureHold() = default;
};

// One captured packet; the bytes stay valid until ReleasePacket.
struct CapturePacket {
  const uint8_t* data = nullptr;
  uint32_t frames = 0;
  bool silent = false;  // the system marked the packet as silence; data may be null
};

enum class WaitResult { kData, kTimeout, kError };
enum class ReadResult { kPacket, kEmpty, kError };

// A loopback capture of the endpoint that was the default when it was opened.
class LoopbackStream {
 public:
  virtual ~LoopbackStream() = default;
  virtual MixFormat Format() const = 0;
  // True when the captured samples already carry the endpoint's master volume (the
  // capture must not scale them again).
  virtual bool AppliesEndpointVolume() const = 0;
  virtual AudioResult Start() = 0;
  // Waits at most `timeout` for a packet.
  virtual WaitResult WaitForData(std::chrono::milliseconds timeout) = 0;
  virtual ReadResult ReadPacket(CapturePacket* packet) = 0;
  virtual void ReleasePacket() = 0;
};

class AudioSystem {
 public:
  virtual ~AudioSystem() = default;

  // The clock the capture measures gaps between packets with.
  virtual std::chrono::steady_clock::time_point Now() = 0;

  // The endpoint operations act on the default render endpoint.
  virtual AudioResult GetDefaultEndpoint(Endpoint* endpoint) = 0;
  // The outputs a user can pick; a system's own helper sinks are not among them.
  virtual AudioResult ActiveEndpoints(std::vector<Endpoint>* endpoints) = 0;
  virtual AudioResult SetDefaultEndpoint(const std::string& id) = 0;
  virtual AudioResult GetMute(bool* muted) = 0;
  virtual AudioResult SetMute(bool muted) = 0;
  // Master volume as a scalar in [0, 1].
  virtual AudioResult GetMasterVolume(float* volume) = 0;
  virtual AudioResult SetMasterVolume(float volume) = 0;

  // Default-endpoint changes. Empty when the system cannot notify.
  virtual std::unique_ptr<Subscription> SubscribeEndpointChanges(EndpointObserver* observer) = 0;
  // Volume and mute changes of the endpoint that is the default now.
  virtual std::unique_ptr<Subscription> SubscribeVolume(EndpointObserver* observer) = 0;

  // While a hold lives, muting the default endpoint silences its speakers only: the
  // loopback still hears what it plays, whatever the default is meanwhile. Once the
  // last hold is gone, a muted endpoint is muted the ordinary way (a system whose mute
  // also silences its loopback keeps the sound elsewhere while held, and gives it back
  // then). A capture that keeps the local output muted holds from before it mutes the
  // output until after it has restored it. Never outlives the system.
  virtual std::unique_ptr<CaptureHold> HoldForCapture() = 0;

  // Opens a loopback capture of the default endpoint in its own mix format.
  virtual AudioResult OpenLoopback(std::unique_ptr<LoopbackStream>* stream) = 0;

  // Gives back an output that an earlier run muted for a share and could not unmute
  // (it was killed): its streams and the default return to it. Called once at start-up
  // by the user's only instance; with nothing left behind it changes nothing.
  virtual AudioResult RecoverOutput() = 0;
};

// True when every sample of the interleaved PCM is zero: the digital silence a sound
// system renders while nothing plays. Negative zero counts as zero.
bool IsDigitalSilence(const uint8_t* data, size_t size, SampleType type);

// The process-wide sound system of the selected back-end (CASTORA_PLATFORM=sim picks
// the simulated one). Made on first use; never empty: without a sound server the real
// back-end answers every call with kNoServer and tries to connect again on later calls.
std::shared_ptr<AudioSystem> SharedAudioSystem();

}  // namespace platform::audio
