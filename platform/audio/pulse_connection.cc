#include "platform/audio/pulse_connection.h"

#include <chrono>

#include "platform/audio/pulse_diversion.h"

namespace platform::audio {

namespace {

const char* const kClientName = "Castora";
constexpr std::chrono::seconds kConnectTimeout{2};

}  // namespace

PulseConnection::~PulseConnection() {
  if (loop_ == nullptr) return;
  if (running_) {
    pa_threaded_mainloop_lock(loop_);
    if (context_ != nullptr) {
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_set_subscribe_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
  }
  if (context_ != nullptr) pa_context_unref(context_);
  pa_threaded_mainloop_free(loop_);
}

AudioResult PulseConnection::Open() {
  loop_ = pa_threaded_mainloop_new();
  if (loop_ == nullptr) return AudioResult::kFailed;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), kClientName);
  if (context_ == nullptr) return AudioResult::kFailed;
  pa_context_set_state_callback(context_, &PulseConnection::OnState, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    return AudioResult::kNoServer;
  }
  if (pa_threaded_mainloop_start(loop_) < 0) return AudioResult::kFailed;
  running_ = true;
  {
    std::unique_lock<std::mutex> lock(state_mutex_);
    state_cv_.wait_for(lock, kConnectTimeout, [this] { return state_ != PA_CONTEXT_UNCONNECTED &&
                                                               state_ != PA_CONTEXT_CONNECTING &&
                                                               state_ != PA_CONTEXT_AUTHORIZING &&
                                                               state_ != PA_CONTEXT_SETTING_NAME; });
    if (state_ != PA_CONTEXT_READY) return AudioResult::kNoServer;
  }
  Locked lock(this);
  pa_context_set_subscribe_callback(context_, &PulseConnection::OnEvent, this);
  Unref(pa_context_subscribe(
      context_, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER |
                                          PA_SUBSCRIPTION_MASK_SINK_INPUT),
      nullptr, nullptr));
  Unref(pa_context_get_server_info(context_, &PulseConnection::OnServerInfoEvent, this));
  // Every sink's state as it is now, so that the first change of each is seen as one.
  Unref(pa_context_get_sink_info_list(context_, &PulseConnection::OnSinkSeen, this));
  return AudioResult::kOk;
}

bool PulseConnection::Alive() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return state_ == PA_CONTEXT_READY;
}

AudioResult PulseConnection::DefaultSinkName(std::string* name) {
  AudioResult r = RealDefaultSinkName(name);
  if (r != AudioResult::kOk) return r;
  std::lock_guard<std::mutex> lock(alias_mutex_);
  // Any stand-in: one that is taking over from another is made the default a moment
  // after it becomes ours.
  if (!diverted_sink_.empty() && IsStandInName(*name)) *name = diverted_sink_;
  return AudioResult::kOk;
}

bool PulseConnection::IsDiverted(const std::string& sink) {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  return !diverted_sink_.empty() && diverted_sink_ == sink;
}

PulseConnection::Diversion PulseConnection::CurrentDiversion() {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  return Diversion{diverted_sink_, diverted_index_, StandIn{module_, stand_in_index_, stand_in_name_, stand_in_channels_},
                   record_token_};
}

std::string PulseConnection::DivertedOutput(std::string* record_token) {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  *record_token = record_token_;
  return diverted_sink_;
}

void PulseConnection::SetWantedOutput(const std::string& name) {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  wanted_output_ = name;
}

float PulseConnection::MonitorGain() {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  return monitor_gain_;
}

bool PulseConnection::DivertedMonitor(const std::string& sink, std::string* monitor) {
  std::lock_guard<std::mutex> lock(alias_mutex_);
  if (diverted_sink_.empty() || diverted_sink_ != sink) return false;
  *monitor = stand_in_name_ + ".monitor";
  return true;
}

AudioResult PulseConnection::RealDefaultSinkName(std::string* name) {
  std::string value;
  AudioResult r = Ask<std::string>(
      [](pa_context* ctx, void* holder) { return pa_context_get_server_info(ctx, &OnPulseServerInfo, holder); },
      &value);
  if (r != AudioResult::kOk) return r;
  if (value.empty()) return AudioResult::kNoDevice;
  *name = value;
  return AudioResult::kOk;
}

AudioResult PulseConnection::Sinks(const std::string& name, std::vector<SinkInfo>* sinks) {
  return Ask<std::vector<SinkInfo>>(
      [&](pa_context* ctx, void* holder) {
        return name.empty() ? pa_context_get_sink_info_list(ctx, &OnPulseSinkInfo, holder)
                            : pa_context_get_sink_info_by_name(ctx, name.c_str(), &OnPulseSinkInfo, holder);
      },
      sinks);
}

AudioResult PulseConnection::DefaultSink(SinkInfo* sink) {
  std::string name;
  AudioResult r = DefaultSinkName(&name);
  if (r != AudioResult::kOk) return r;
  std::vector<SinkInfo> sinks;
  r = Sinks(name, &sinks);
  if (r != AudioResult::kOk) return r;
  if (sinks.empty()) return AudioResult::kNoDevice;
  *sink = sinks.front();
  return AudioResult::kOk;
}

AudioResult PulseConnection::SetDefaultSink(const std::string& name) {
  return Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_set_default_sink(ctx, name.c_str(), done, holder);
  });
}

AudioResult PulseConnection::SetSinkMute(const std::string& name, bool muted) {
  return Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_set_sink_mute_by_name(ctx, name.c_str(), muted ? 1 : 0, done, holder);
  });
}

AudioResult PulseConnection::SetDefaultEndpoint(const std::string& name) {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  if (IsStandInName(name)) return AudioResult::kFailed;
  bool diverted;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    diverted = !diverted_sink_.empty();
  }
  if (!diverted) return SetDefaultSink(name);
  std::vector<SinkInfo> sinks;
  AudioResult r = Sinks(name, &sinks);
  if (r != AudioResult::kOk) return r;
  if (sinks.empty()) return AudioResult::kFailed;
  return RetargetLocked(sinks.front());
}

void PulseConnection::SetHeld(bool held) {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  held_ = held;
  if (held) return;
  std::string sink;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    sink = diverted_sink_;
  }
  if (sink.empty()) return;
  // Muted before its streams come back, so that nothing sounds in between.
  SetSinkMute(sink, true);
  UndivertLocked();
}

AudioResult PulseConnection::Mute(const SinkInfo& sink) {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  if (held_) return DivertLocked(sink);
  return SetSinkMute(sink.name, true);
}

AudioResult PulseConnection::Unmute(const SinkInfo& sink) {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  bool diverted;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    diverted = !diverted_sink_.empty();
  }
  // A diversion is always the endpoint's own (it follows the default). Ending it gives
  // the output back its own mute, as the user left it: an output picked while diverted
  // that was muted stays muted.
  if (diverted) return UndivertLocked();
  if (!sink.muted) return AudioResult::kOk;
  return SetSinkMute(sink.name, false);
}

AudioResult PulseConnection::Undivert() {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  return UndivertLocked();
}

AudioResult PulseConnection::DivertLocked(const SinkInfo& sink) {
  bool diverted;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    if (diverted_sink_ == sink.name) return AudioResult::kOk;
    diverted = !diverted_sink_.empty();
  }
  // One stand-in for the whole share.
  if (diverted) return RetargetLocked(sink);
  // Recorded before the stand-in is there, so that whoever finds it finds the record.
  const std::string token = DiversionRecord::NewToken();
  DiversionRecord::Write(token, sink.name);
  StandIn stand_in;
  AudioResult r = LoadStandIn(sink, token, &stand_in);
  if (r != AudioResult::kOk) {
    DiversionRecord::Remove(token);
    return r;
  }
  const pa_volume_t level = pa_cvolume_max(&sink.volume);
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    diverted_sink_ = sink.name;
    diverted_index_ = sink.index;
    diverted_volume_ = VolumeScalar(sink.volume);
    module_ = stand_in.module;
    stand_in_index_ = stand_in.index;
    stand_in_channels_ = stand_in.channels;
    stand_in_name_ = stand_in.name;
    record_token_ = token;
    synced_volume_ = level;
    monitor_gain_ = StandInMonitorGain(level);
  }
  // Moved while the output is still the default, the streams stay on the stand-in when
  // the default changes later; streams that start meanwhile land on the new default and
  // are caught from there.
  CatchStreamsLocked(false);
  r = SetDefaultSink(stand_in.name);
  if (r != AudioResult::kOk) {
    UndivertLocked();
    return r;
  }
  notifier_->Post(PulseEvent{true, sink.name, true, VolumeScalar(sink.volume)});
  // The loopback now records the stand-in's monitor.
  PostEndpointChanged();
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    if (!wanted_output_.empty()) PostWhileAlive(&PulseConnection::FollowDefault);
  }
  return AudioResult::kOk;
}

AudioResult PulseConnection::LoadStandIn(const SinkInfo& sink, const std::string& token, StandIn* stand_in) {
  std::string properties = "device.description=Castora-muted-output";
  // Sink names are plain (letters, digits and a few marks), so a double-quoted value
  // inside the single-quoted argument needs no escaping; a name that would (none the
  // server accepts) is left out, and a later recovery reads the record alone.
  if (sink.name.find_first_of("'\"\\ ") == std::string::npos) {
    properties += std::string(" ") + kDivertedFromProperty + "=\"" + sink.name + "\"";
  }
  properties += std::string(" ") + kDivertedRecordProperty + "=\"" + token + "\"";
  // Float, so that a monitor scaled back from a low volume loses nothing.
  const std::string args = std::string("sink_name=") + kMutedSinkName + " rate=" + std::to_string(sink.spec.rate) +
                           " channels=" + std::to_string(sink.spec.channels) + " format=float32le sink_properties='" +
                           properties + "'";
  uint32_t module = PA_INVALID_INDEX;
  AudioResult r = LoadModule("module-null-sink", args, &module);
  if (r != AudioResult::kOk) return r;
  // Found by its module: a server may number the name, or not, while another sink has it.
  std::vector<SinkInfo> sinks;
  r = Sinks(std::string(), &sinks);
  const SinkInfo* loaded = nullptr;
  for (const SinkInfo& s : sinks) {
    if (s.owner_module == module) loaded = &s;
  }
  if (r == AudioResult::kOk && loaded == nullptr) r = AudioResult::kFailed;
  if (r != AudioResult::kOk) {
    UnloadModule(module);
    return r;
  }
  stand_in->module = module;
  stand_in->index = loaded->index;
  stand_in->name = loaded->name;
  stand_in->channels = loaded->spec.channels;
  // A server that restores a sink's state by its name may give the stand-in the mute
  // or volume of an earlier one; it reads as the output.
  Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_set_sink_mute_by_index(ctx, stand_in->index, 0, done, holder);
  });
  SetFlatVolume(stand_in->index, stand_in->channels, pa_cvolume_max(&sink.volume));
  return AudioResult::kOk;
}

AudioResult PulseConnection::SetFlatVolume(uint32_t sink, uint8_t channels, pa_volume_t level) {
  pa_cvolume flat;
  pa_cvolume_set(&flat, channels, level);
  return Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_set_sink_volume_by_index(ctx, sink, &flat, done, holder);
  });
}

AudioResult PulseConnection::RetargetLocked(const SinkInfo& sink) {
  const Diversion before = CurrentDiversion();
  // The record first: a run that ends from here on gives the default to this output.
  if (sink.name != before.output) DiversionRecord::Write(before.token, sink.name);
  const pa_volume_t level = pa_cvolume_max(&sink.volume);
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    diverted_sink_ = sink.name;
    diverted_index_ = sink.index;
    diverted_volume_ = VolumeScalar(sink.volume);
    synced_volume_ = level;
  }
  // The desk shows, and its keys step from, the new output's volume.
  SetFlatVolume(before.stand_in.index, before.stand_in.channels, level);
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    monitor_gain_ = StandInMonitorGain(level);
  }
  AudioResult r = SetDefaultSink(before.stand_in.name);
  ReturnCaughtStreamsLocked(sink.name);
  CatchStreamsLocked(true);
  notifier_->Post(PulseEvent{true, sink.name, true, VolumeScalar(sink.volume)});
  PostEndpointChanged();
  return r;
}

void PulseConnection::SyncVolume() {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  const Diversion now = CurrentDiversion();
  if (now.output.empty()) return;
  // A key pressed while this runs is compared by the loop thread with the level stored
  // before it is set; one that comes between the read and the store is seen by the
  // next round, which reads both again. Bounded: a desk that keeps changing both gets
  // a task for each change anyway.
  for (int round = 0; round < 4; ++round) {
    std::vector<SinkInfo> stand_in;
    std::vector<SinkInfo> output;
    if (SinkAt(now.stand_in.index, &stand_in) != AudioResult::kOk || stand_in.empty() ||
        SinkAt(now.output_index, &output) != AudioResult::kOk || output.empty()) {
      return;
    }
    const pa_volume_t key = pa_cvolume_max(&stand_in.front().volume);
    const pa_volume_t own = pa_cvolume_max(&output.front().volume);
    pa_volume_t synced;
    {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      synced = synced_volume_;
    }
    const VolumeSync sync = DecideVolumeSync(key, own, synced);
    if (sync == VolumeSync::kNone && key != own) return;
    const pa_volume_t level = sync == VolumeSync::kOutputToStandIn ? own : key;
    {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      synced_volume_ = level;
      monitor_gain_ = StandInMonitorGain(level);
    }
    if (sync == VolumeSync::kNone) return;
    if (sync == VolumeSync::kStandInToOutput) {
      // The output's channels scaled together, so that its balance stays.
      pa_cvolume volume = output.front().volume;
      pa_cvolume_scale(&volume, key);
      Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
        return pa_context_set_sink_volume_by_index(ctx, now.output_index, &volume, done, holder);
      });
    } else {
      SetFlatVolume(now.stand_in.index, now.stand_in.channels, own);
    }
  }
}

AudioResult PulseConnection::UndivertLocked() {
  const Diversion now = CurrentDiversion();
  const std::string& sink = now.output;
  if (sink.empty()) return AudioResult::kOk;
  const uint32_t stand_in = now.stand_in.index;
  // The stand-in's streams as they are before the default goes back, which moves those
  // that follow it.
  std::vector<std::pair<uint32_t, uint32_t>> inputs;
  if (stand_in == PA_INVALID_INDEX || SinkInputs(&inputs) != AudioResult::kOk) inputs.clear();
  std::string real;
  if (RealDefaultSinkName(&real) == AudioResult::kOk && IsStandInName(real)) SetDefaultSink(sink);
  // Each goes to the output (moved to the default, it follows the default again), or
  // one caught from the output it was played on by name back there while it is plugged in.
  std::map<uint32_t, std::string> origin;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    origin.swap(stream_origin_);
  }
  std::vector<SinkInfo> outputs;
  if (!inputs.empty() && Sinks(std::string(), &outputs) == AudioResult::kOk) {
    for (const auto& input : inputs) {
      if (input.second != stand_in) continue;
      uint32_t to = now.output_index;
      auto it = origin.find(input.first);
      if (it != origin.end()) {
        for (const SinkInfo& s : outputs) {
          if (!IsStandIn(s) && s.name == it->second) to = s.index;
        }
      }
      MoveInput(input.first, to);
    }
  }
  // Unloading moves whatever is left on the null sink to the default.
  AudioResult r = UnloadModule(now.stand_in.module);
  DiversionRecord::Remove(now.token);
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    diverted_sink_.clear();
    diverted_index_ = PA_INVALID_INDEX;
    module_ = PA_INVALID_INDEX;
    stand_in_index_ = PA_INVALID_INDEX;
    stand_in_name_.clear();
    record_token_.clear();
    monitor_gain_ = 1.0f;
  }
  std::vector<SinkInfo> restored;
  if (Sinks(sink, &restored) == AudioResult::kOk && !restored.empty()) {
    notifier_->Post(PulseEvent{true, sink, restored.front().muted, VolumeScalar(restored.front().volume)});
  }
  PostEndpointChanged();
  return r;
}

void PulseConnection::FollowDefault() {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  const Diversion now = CurrentDiversion();
  const std::string& diverted = now.output;
  if (diverted.empty()) return;
  std::string real;
  std::vector<SinkInfo> sinks;
  if (RealDefaultSinkName(&real) != AudioResult::kOk || Sinks(std::string(), &sinks) != AudioResult::kOk) return;
  // The user's output: the one just made the default, else the diverted one while it is
  // there, else (it went away) the first output left.
  std::string wanted;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    wanted = wanted_output_;
  }
  const SinkInfo* chosen = nullptr;
  const SinkInfo* came = nullptr;
  const SinkInfo* still_there = nullptr;
  const SinkInfo* first = nullptr;
  for (const SinkInfo& s : sinks) {
    if (IsStandIn(s)) continue;
    if (s.name == real) chosen = &s;
    if (!wanted.empty() && s.name == wanted) came = &s;
    if (s.index == now.output_index) still_there = &s;
    if (first == nullptr) first = &s;
  }
  if (chosen != nullptr || came != nullptr) {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    wanted_output_.clear();
  }
  const SinkInfo* target = chosen != nullptr  ? chosen
                           : came != nullptr  ? came
                           : still_there != nullptr ? still_there
                                                    : first;
  if (target == nullptr) return;  // no output at all: the next one that comes is followed
  if (target->index == now.output_index && IsStandInName(real)) return;
  RetargetLocked(*target);
}

void PulseConnection::PostWhileAlive(void (PulseConnection::*task)()) {
  std::weak_ptr<PulseConnection> weak = weak_from_this();
  notifier_->PostTask([weak, task] {
    if (auto self = weak.lock()) {
      if (self->Alive()) ((*self).*task)();
    }
  });
}

void PulseConnection::CatchStreamsLocked(bool remember) {
  const Diversion now = CurrentDiversion();
  if (now.output.empty() || now.stand_in.index == PA_INVALID_INDEX) return;
  std::vector<std::pair<uint32_t, uint32_t>> inputs;
  if (SinkInputs(&inputs) != AudioResult::kOk) return;
  // Only the user's output is muted: streams of other outputs play on there.
  for (const auto& input : inputs) {
    if (input.second != now.output_index) continue;
    if (remember) {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      stream_origin_[input.first] = now.output;
    }
    MoveInput(input.first, now.stand_in.index);
  }
}

void PulseConnection::ReturnCaughtStreamsLocked(const std::string& output) {
  const Diversion now = CurrentDiversion();
  std::map<uint32_t, std::string> elsewhere;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    for (auto it = stream_origin_.begin(); it != stream_origin_.end();) {
      if (it->second == output) {
        ++it;
        continue;
      }
      elsewhere.insert(*it);
      it = stream_origin_.erase(it);
    }
  }
  if (elsewhere.empty()) return;
  std::vector<SinkInfo> sinks;
  std::vector<std::pair<uint32_t, uint32_t>> inputs;
  if (Sinks(std::string(), &sinks) != AudioResult::kOk || SinkInputs(&inputs) != AudioResult::kOk) return;
  for (const auto& input : inputs) {
    auto it = elsewhere.find(input.first);
    // Only from the stand-in: one the user has moved on meanwhile stays where it is.
    if (it == elsewhere.end() || input.second != now.stand_in.index) continue;
    for (const SinkInfo& s : sinks) {
      if (!IsStandIn(s) && s.name == it->second) MoveInput(input.first, s.index);
    }
  }
}

void PulseConnection::CatchStreams() {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  CatchStreamsLocked(true);
}

void PulseConnection::PostEndpointChanged() { notifier_->Post(PulseEvent{false, std::string(), false, 1.0f}); }

AudioResult PulseConnection::RemoveLeftoverStandIns() {
  std::lock_guard<std::mutex> op(divert_op_mutex_);
  std::vector<SinkInfo> sinks;
  AudioResult r = Sinks(std::string(), &sinks);
  if (r != AudioResult::kOk) return r;
  uint32_t ours;
  {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    ours = module_;
  }
  for (const SinkInfo& left : sinks) {
    if (!IsStandIn(left) || (ours != PA_INVALID_INDEX && left.owner_module == ours)) continue;
    // The output it stood in for last, by its record, else the one it was loaded for.
    std::string recorded;
    const bool has_record = DiversionRecord::Read(left.diverted_record, &recorded);
    const SinkInfo* output = nullptr;
    for (const std::string& name : {has_record ? recorded : std::string(), left.diverted_from}) {
      for (const SinkInfo& s : sinks) {
        if (output == nullptr && !name.empty() && !IsStandIn(s) && s.name == name) output = &s;
      }
    }
    if (output != nullptr) {
      std::string real;
      if (RealDefaultSinkName(&real) == AudioResult::kOk && real == left.name) SetDefaultSink(output->name);
      MoveInputs(left.index, output->index);
    }
    AudioResult u = UnloadModule(left.owner_module);
    if (u != AudioResult::kOk) r = u;
    DiversionRecord::Remove(left.diverted_record);
  }
  return r;
}

AudioResult PulseConnection::LoadModule(const std::string& name, const std::string& args, uint32_t* index) {
  return Ask<uint32_t>(
      [&](pa_context* ctx, void* holder) {
        return pa_context_load_module(ctx, name.c_str(), args.c_str(), &OnPulseModuleLoaded, holder);
      },
      index);
}

AudioResult PulseConnection::UnloadModule(uint32_t index) {
  if (index == PA_INVALID_INDEX) return AudioResult::kOk;
  return Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_unload_module(ctx, index, done, holder);
  });
}

AudioResult PulseConnection::SinkInputs(std::vector<std::pair<uint32_t, uint32_t>>* inputs) {
  return Ask<std::vector<std::pair<uint32_t, uint32_t>>>(
      [](pa_context* ctx, void* holder) { return pa_context_get_sink_input_info_list(ctx, &OnPulseSinkInputInfo, holder); },
      inputs);
}

AudioResult PulseConnection::MoveInput(uint32_t input, uint32_t to) {
  if (to == PA_INVALID_INDEX) return AudioResult::kFailed;
  return Call([&](pa_context* ctx, pa_context_success_cb_t done, void* holder) {
    return pa_context_move_sink_input_by_index(ctx, input, to, done, holder);
  });
}

AudioResult PulseConnection::SinkAt(uint32_t index, std::vector<SinkInfo>* sinks) {
  if (index == PA_INVALID_INDEX) return AudioResult::kFailed;
  return Ask<std::vector<SinkInfo>>(
      [&](pa_context* ctx, void* holder) { return pa_context_get_sink_info_by_index(ctx, index, &OnPulseSinkInfo, holder); },
      sinks);
}

AudioResult PulseConnection::MoveInputs(uint32_t from, uint32_t to) {
  std::vector<std::pair<uint32_t, uint32_t>> inputs;
  AudioResult r = SinkInputs(&inputs);
  if (r != AudioResult::kOk) return r;
  for (const auto& input : inputs) {
    if (input.second == from) MoveInput(input.first, to);
  }
  return AudioResult::kOk;
}

void PulseConnection::OnState(pa_context* c, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  std::lock_guard<std::mutex> lock(self->state_mutex_);
  self->state_ = pa_context_get_state(c);
  self->state_cv_.notify_all();
}

// Loop thread: a sink or the server changed; fetch what changed.
void PulseConnection::OnEvent(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  auto facility = t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  auto type = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
    Unref(pa_context_get_server_info(c, &PulseConnection::OnServerInfoEvent, userdata));
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && type != PA_SUBSCRIPTION_EVENT_REMOVE) {
    Unref(pa_context_get_sink_info_by_index(c, index, &PulseConnection::OnSinkEvent, userdata));
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT) {
    if (type == PA_SUBSCRIPTION_EVENT_REMOVE) {
      std::lock_guard<std::mutex> lock(self->alias_mutex_);
      self->stream_origin_.erase(index);
      return;
    }
    bool diverted;
    {
      std::lock_guard<std::mutex> lock(self->alias_mutex_);
      diverted = !self->diverted_sink_.empty();
    }
    // A stream that starts on an output by name, or is moved onto one in a mixer.
    if (diverted) Unref(pa_context_get_sink_input_info(c, index, &PulseConnection::OnSinkInputEvent, userdata));
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
    self->last_volume_.erase(index);
    bool diverted;
    {
      std::lock_guard<std::mutex> lock(self->alias_mutex_);
      diverted = !self->diverted_sink_.empty();
    }
    // Perhaps the diverted output was unplugged.
    if (diverted) self->PostWhileAlive(&PulseConnection::FollowDefault);
  }
}

void PulseConnection::OnServerInfoEvent(pa_context*, const pa_server_info* i, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (i == nullptr || i->default_sink_name == nullptr) return;
  std::string name = i->default_sink_name;
  {
    std::lock_guard<std::mutex> lock(self->alias_mutex_);
    if (!self->diverted_sink_.empty()) {
      if (!IsStandInName(name)) {
        // The user picked another output while diverted: the diversion moves to it,
        // and then it is the endpoint.
        self->PostWhileAlive(&PulseConnection::FollowDefault);
        return;
      }
      name = self->diverted_sink_;
    }
  }
  if (self->have_default_ && name == self->default_sink_) return;
  bool first = !self->have_default_;
  self->have_default_ = true;
  self->default_sink_ = name;
  if (!first) self->PostEndpointChanged();
}

void PulseConnection::OnSinkEvent(pa_context* c, const pa_sink_info* i, int eol, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (eol != 0 || i == nullptr || i->name == nullptr) return;
  // Sinks report many kinds of change; only mute and volume are passed on.
  const std::pair<bool, float> now(i->mute != 0, VolumeScalar(i->volume));
  auto it = self->last_volume_.find(i->index);
  const bool first = it == self->last_volume_.end();
  const std::pair<bool, float> before = first ? now : it->second;
  self->last_volume_[i->index] = now;
  std::string diverted;
  float diverted_volume;
  bool stand_in;
  bool out_of_sync;
  {
    std::lock_guard<std::mutex> lock(self->alias_mutex_);
    diverted = self->diverted_sink_;
    stand_in = self->stand_in_index_ != PA_INVALID_INDEX && i->index == self->stand_in_index_;
    const bool output = !diverted.empty() && i->index == self->diverted_index_;
    if (output) self->diverted_volume_ = now.second;
    diverted_volume = self->diverted_volume_;
    out_of_sync = (stand_in || output) && pa_cvolume_max(&i->volume) != self->synced_volume_;
  }
  // A volume key on the stand-in goes to the output, a change of the output to the
  // stand-in (pulse_diversion.h).
  if (out_of_sync) self->PostWhileAlive(&PulseConnection::SyncVolume);
  if (stand_in) {
    if (diverted.empty()) return;
    // The stand-in is the server's default, so a desk's mute key mutes it; muted it
    // would silence the capture. It is unmuted at once, and the key counts as a touch
    // of the output's control, which reads as muted all along.
    if (now.first) {
      Unref(pa_context_set_sink_mute_by_index(c, i->index, 0, nullptr, nullptr));
    }
    if (!first && (now.first || now.second != before.second)) {
      self->notifier_->Post(PulseEvent{true, diverted, true, diverted_volume});
    }
    return;
  }
  // Another stand-in: one left by an earlier run.
  if (IsStandInName(i->name)) return;
  if (first) {
    // A new output; perhaps the first one again after the diverted one went away.
    if (!diverted.empty()) self->PostWhileAlive(&PulseConnection::FollowDefault);
    return;
  }
  if (now == before) return;
  self->notifier_->Post(PulseEvent{true, i->name, now.first || i->name == diverted, now.second});
}

void PulseConnection::OnSinkInputEvent(pa_context*, const pa_sink_input_info* i, int eol, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (eol != 0 || i == nullptr || i->sink == PA_INVALID_INDEX) return;
  {
    std::lock_guard<std::mutex> lock(self->alias_mutex_);
    // Only a stream on the user's output is caught.
    if (self->diverted_sink_.empty() || i->sink != self->diverted_index_) return;
  }
  self->PostWhileAlive(&PulseConnection::CatchStreams);
}

void PulseConnection::OnSinkSeen(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  if (eol != 0 || i == nullptr) return;
  self->last_volume_[i->index] = std::make_pair(i->mute != 0, VolumeScalar(i->volume));
}

}  // namespace platform::audio
