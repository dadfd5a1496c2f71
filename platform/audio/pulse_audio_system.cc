#include "platform/audio/pulse_audio_system.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <utility>

#include "platform/audio/pulse_connection.h"
#include "platform/audio/pulse_diversion.h"
#include "platform/audio/pulse_loopback_stream.h"
#include "platform/audio/pulse_notifier.h"
#include "platform/audio/pulse_sink_info.h"

namespace platform::audio {

class PulseAudioSystem::Hold : public CaptureHold {
 public:
  explicit Hold(PulseAudioSystem* system) : system_(system) {}
  ~Hold() override { system_->ReleaseHold(); }

 private:
  PulseAudioSystem* const system_;
};

PulseAudioSystem::PulseAudioSystem() : notifier_(std::make_shared<PulseNotifier>()) {}

PulseAudioSystem::~PulseAudioSystem() {
  std::shared_ptr<PulseConnection> connection;
  {
    std::lock_guard<std::mutex> lock(connect_mutex_);
    connection = std::move(connection_);
  }
  // The output's streams go back to it before the server forgets who moved them.
  if (connection != nullptr && connection->Alive()) connection->Undivert();
  // A follow-up of the connection may still run on the notifier's thread.
  notifier_->Shutdown();
}

std::unique_ptr<CaptureHold> PulseAudioSystem::HoldForCapture() {
  std::lock_guard<std::mutex> lock(connect_mutex_);
  if (holds_++ == 0 && connection_ != nullptr) connection_->SetHeld(true);
  return std::make_unique<Hold>(this);
}

void PulseAudioSystem::ReleaseHold() {
  std::lock_guard<std::mutex> lock(connect_mutex_);
  if (--holds_ == 0 && connection_ != nullptr && connection_->Alive()) connection_->SetHeld(false);
}

std::shared_ptr<PulseConnection> PulseAudioSystem::Connect(AudioResult* result) {
  std::lock_guard<std::mutex> lock(connect_mutex_);
  if (connection_ != nullptr && connection_->Alive()) {
    *result = AudioResult::kOk;
    return connection_;
  }
  // The output a lost connection had diverted: the user's, which a server that
  // restarted meanwhile no longer knows (it saved the stand-in as its default).
  std::string lost_token;
  const std::string lost_output = connection_ != nullptr ? connection_->DivertedOutput(&lost_token) : std::string();
  auto connection = std::make_shared<PulseConnection>(notifier_);
  *result = connection->Open();
  if (*result != AudioResult::kOk) return nullptr;
  connection_.reset();
  // A stand-in sink left behind by an earlier connection (or a killed run) would keep
  // the output silent.
  connection->RemoveLeftoverStandIns();
  // Its record, should the stand-in have gone with the server.
  if (!lost_token.empty()) DiversionRecord::Remove(lost_token);
  if (holds_ > 0 && !lost_output.empty()) {
    std::vector<SinkInfo> there;
    if (connection->Sinks(lost_output, &there) == AudioResult::kOk && !there.empty()) {
      connection->SetDefaultEndpoint(lost_output);
    } else {
      connection->SetWantedOutput(lost_output);
    }
  }
  if (holds_ > 0) connection->SetHeld(true);
  connection_ = connection;
  return connection_;
}

std::shared_ptr<PulseConnection> PulseAudioSystem::ConnectToDefaultSink(SinkInfo* sink, AudioResult* result) {
  auto connection = Connect(result);
  if (!connection) return nullptr;
  *result = connection->DefaultSink(sink);
  if (*result != AudioResult::kOk) return nullptr;
  return connection;
}

AudioResult PulseAudioSystem::RecoverOutput() {
  // Every new connection removes what an earlier run left behind.
  AudioResult r;
  Connect(&r);
  return r;
}

std::chrono::steady_clock::time_point PulseAudioSystem::Now() { return std::chrono::steady_clock::now(); }

AudioResult PulseAudioSystem::GetDefaultEndpoint(Endpoint* endpoint) {
  SinkInfo sink;
  AudioResult r;
  auto c = ConnectToDefaultSink(&sink, &r);
  if (!c) return r;
  endpoint->id = sink.name;
  endpoint->connected_device_id = sink.connected;
  return AudioResult::kOk;
}

AudioResult PulseAudioSystem::ActiveEndpoints(std::vector<Endpoint>* endpoints) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  std::vector<SinkInfo> sinks;
  r = c->Sinks(std::string(), &sinks);
  if (r != AudioResult::kOk) return r;
  endpoints->clear();
  for (const SinkInfo& s : sinks) {
    if (!IsStandIn(s)) endpoints->push_back(Endpoint{s.name, s.connected});
  }
  return AudioResult::kOk;
}

AudioResult PulseAudioSystem::SetDefaultEndpoint(const std::string& id) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  return c->SetDefaultEndpoint(id);
}

AudioResult PulseAudioSystem::GetMute(bool* muted) {
  SinkInfo sink;
  AudioResult r;
  auto c = ConnectToDefaultSink(&sink, &r);
  if (c) *muted = sink.muted || c->IsDiverted(sink.name);
  return r;
}

AudioResult PulseAudioSystem::SetMute(bool muted) {
  SinkInfo sink;
  AudioResult r;
  auto c = ConnectToDefaultSink(&sink, &r);
  if (!c) return r;
  return muted ? c->Mute(sink) : c->Unmute(sink);
}

AudioResult PulseAudioSystem::GetMasterVolume(float* volume) {
  SinkInfo sink;
  AudioResult r;
  if (ConnectToDefaultSink(&sink, &r)) *volume = VolumeScalar(sink.volume);
  return r;
}

AudioResult PulseAudioSystem::SetMasterVolume(float volume) {
  SinkInfo sink;
  AudioResult r;
  auto c = ConnectToDefaultSink(&sink, &r);
  if (!c) return r;
  volume = std::min(1.0f, std::max(0.0f, volume));
  pa_cvolume cv = sink.volume;
  // Scales every channel so that the balance between them stays as it is.
  pa_cvolume_scale(&cv, static_cast<pa_volume_t>(volume * static_cast<float>(PA_VOLUME_NORM)));
  return c->Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_set_sink_volume_by_name(ctx, sink.name.c_str(), &cv, done, holder);
  });
}

std::unique_ptr<Subscription> PulseAudioSystem::SubscribeEndpointChanges(EndpointObserver* observer) {
  AudioResult r;
  if (!Connect(&r)) return nullptr;
  return std::make_unique<PulseSubscription>(notifier_, notifier_->Register(observer, false, std::string()));
}

std::unique_ptr<Subscription> PulseAudioSystem::SubscribeVolume(EndpointObserver* observer) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return nullptr;
  std::string name;
  if (c->DefaultSinkName(&name) != AudioResult::kOk) return nullptr;
  return std::make_unique<PulseSubscription>(notifier_, notifier_->Register(observer, true, name));
}

AudioResult PulseAudioSystem::OpenLoopback(std::unique_ptr<LoopbackStream>* stream) {
  SinkInfo sink;
  AudioResult r;
  auto c = ConnectToDefaultSink(&sink, &r);
  if (!c) return r;
  pa_sample_spec spec = sink.spec;
  MixFormat format;
  // A diverted output's sound is on the stand-in, recorded as float: its monitor is
  // scaled back to full volume, and the capture scales by the output's volume itself.
  std::string stand_in_monitor;
  const bool diverted = c->DivertedMonitor(sink.name, &stand_in_monitor);
  if (diverted) spec.format = PA_SAMPLE_FLOAT32LE;
  switch (spec.format) {
    case PA_SAMPLE_S16LE: format.type = SampleType::kInt16; break;
    case PA_SAMPLE_S24LE: format.type = SampleType::kInt24; break;
    case PA_SAMPLE_S32LE: format.type = SampleType::kInt32; break;
    case PA_SAMPLE_FLOAT32LE: format.type = SampleType::kFloat32; break;
    default:
      // Formats the converter does not read are recorded as float by the server.
      spec.format = PA_SAMPLE_FLOAT32LE;
      format.type = SampleType::kFloat32;
      break;
  }
  spec.channels = static_cast<uint8_t>(std::min<uint32_t>(spec.channels, 8));
  format.sample_rate = spec.rate;
  format.channels = spec.channels;
  auto s = std::make_unique<PulseLoopbackStream>(c, format, diverted ? false : !sink.hw_volume, diverted);
  r = s->Open(diverted ? stand_in_monitor : sink.monitor, spec);
  if (r != AudioResult::kOk) return r;
  *stream = std::move(s);
  return AudioResult::kOk;
}

}  // namespace platform::audio
