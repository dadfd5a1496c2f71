#include "platform/audio/pulse_audio_system.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

namespace platform::audio {

namespace {

const char* const kClientName = "Castora";
constexpr std::chrono::seconds kConnectTimeout{2};
constexpr std::chrono::seconds kCallTimeout{2};
// Record fragments of about 10 ms: the capture waits at most that long for a packet.
constexpr pa_usec_t kFragmentUsec = 10000;

struct SinkInfo {
  uint32_t index = PA_INVALID_INDEX;
  std::string name;
  std::string monitor;
  std::string connected;
  pa_sample_spec spec{};
  pa_cvolume volume{};
  bool muted = false;
  bool hw_volume = false;
  uint32_t owner_module = PA_INVALID_INDEX;
  std::string diverted_from;  // the stand-in's: the output whose streams it took
};

float VolumeScalar(const pa_cvolume& v) {
  float level = static_cast<float>(pa_cvolume_max(&v)) / static_cast<float>(PA_VOLUME_NORM);
  return std::min(1.0f, std::max(0.0f, level));
}

// The stand-in carries the name of the output it stands in for, so that whoever finds it
// left behind (a run that was killed) can give that output its streams and the default.
const char* const kDivertedFromProperty = "castora.diverted_from";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The hardware an endpoint is connected to, in the "vid_xxxx&pid_xxxx" form of USB
// instance ids, so that the same device list matches on every platform.
std::string ConnectedId(const pa_sink_info* i) {
  const char* bus = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_BUS);
  const char* vendor = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_VENDOR_ID);
  const char* product = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_PRODUCT_ID);
  if (bus != nullptr && std::strcmp(bus, "usb") == 0 && vendor != nullptr && product != nullptr) {
    return "usb#vid_" + Lower(vendor) + "&pid_" + Lower(product);
  }
  const char* path = pa_proplist_gets(i->proplist, PA_PROP_DEVICE_BUS_PATH);
  if (path != nullptr) return path;
  return i->name != nullptr ? i->name : "";
}

SinkInfo FromPa(const pa_sink_info* i) {
  SinkInfo s;
  s.index = i->index;
  s.name = i->name != nullptr ? i->name : "";
  s.monitor = i->monitor_source_name != nullptr ? i->monitor_source_name : "";
  s.connected = ConnectedId(i);
  s.spec = i->sample_spec;
  s.volume = i->volume;
  s.muted = i->mute != 0;
  s.hw_volume = (i->flags & PA_SINK_HW_VOLUME_CTRL) != 0;
  s.owner_module = i->owner_module;
  const char* diverted_from = pa_proplist_gets(i->proplist, kDivertedFromProperty);
  if (diverted_from != nullptr) s.diverted_from = diverted_from;
  return s;
}

// The channel positions of the wave layout that the resampler mixes down from.
pa_channel_map WaveLayout(uint32_t channels) {
  static const pa_channel_position_t k[9][8] = {
      {},
      {PA_CHANNEL_POSITION_MONO},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_REAR_LEFT,
       PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_CENTER, PA_CHANNEL_POSITION_SIDE_LEFT,
       PA_CHANNEL_POSITION_SIDE_RIGHT},
      {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
       PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT,
       PA_CHANNEL_POSITION_SIDE_LEFT, PA_CHANNEL_POSITION_SIDE_RIGHT},
  };
  pa_channel_map map;
  pa_channel_map_init(&map);
  map.channels = static_cast<uint8_t>(channels);
  for (uint32_t c = 0; c < channels; ++c) map.map[c] = k[channels][c];
  return map;
}

// One asynchronous request; the caller waits with a time-out, and a late answer still
// finds its request alive through the shared pointer the callback owns.
template <typename T>
struct Request {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool ok = false;
  T value{};

  void Finish(bool success) {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ok = success;
    done_cv.notify_all();
  }
  AudioResult Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    if (!done_cv.wait_for(lock, kCallTimeout, [this] { return done; })) return AudioResult::kTimedOut;
    return ok ? AudioResult::kOk : AudioResult::kFailed;
  }
};

template <typename T>
using Holder = std::shared_ptr<Request<T>>;

template <typename T>
Holder<T>* NewHolder(const Holder<T>& request) {
  return new Holder<T>(request);
}

void OnSuccess(pa_context*, int success, void* userdata) {
  auto* holder = static_cast<Holder<int>*>(userdata);
  (*holder)->Finish(success != 0);
  delete holder;
}

void OnServerInfo(pa_context*, const pa_server_info* i, void* userdata) {
  auto* holder = static_cast<Holder<std::string>*>(userdata);
  if (i != nullptr && i->default_sink_name != nullptr) (*holder)->value = i->default_sink_name;
  (*holder)->Finish(i != nullptr);
  delete holder;
}

void OnSinkInfo(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
  auto* holder = static_cast<Holder<std::vector<SinkInfo>>*>(userdata);
  if (eol == 0 && i != nullptr) {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value.push_back(FromPa(i));
    return;
  }
  (*holder)->Finish(eol > 0);
  delete holder;
}

void OnModuleLoaded(pa_context*, uint32_t index, void* userdata) {
  auto* holder = static_cast<Holder<uint32_t>*>(userdata);
  {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value = index;
  }
  (*holder)->Finish(index != PA_INVALID_INDEX);
  delete holder;
}

void OnSinkInputInfo(pa_context*, const pa_sink_input_info* i, int eol, void* userdata) {
  auto* holder = static_cast<Holder<std::vector<std::pair<uint32_t, uint32_t>>>*>(userdata);
  if (eol == 0 && i != nullptr) {
    std::lock_guard<std::mutex> lock((*holder)->mutex);
    (*holder)->value.emplace_back(i->index, i->sink);
    return;
  }
  (*holder)->Finish(eol > 0);
  delete holder;
}

// The sink that stands in for a muted output while its sound is still captured.
const char* const kMutedSinkName = "castora_muted_output";

}  // namespace

// --- Notifier ---

class PulseAudioSystem::Notifier {
 public:
  Notifier() : thread_([this] { Run(); }) {}
  ~Notifier() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      wake_.notify_all();
    }
    thread_.join();
  }

  void Post(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    wake_.notify_all();
  }

  int Register(EndpointObserver* observer, bool volume, const std::string& sink) {
    std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
    int token = next_token_++;
    registrations_[token] = Registration{observer, volume, sink};
    return token;
  }

  void Unregister(int token) {
    std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
    registrations_.erase(token);
  }

 private:
  struct Registration {
    EndpointObserver* observer;
    bool volume;
    std::string sink;
  };

  void Run() {
    for (;;) {
      Event event;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !events_.empty(); });
        if (stop_) return;
        event = std::move(events_.front());
        events_.pop_front();
      }
      std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
      auto registrations = registrations_;
      for (const auto& kv : registrations) {
        if (registrations_.count(kv.first) == 0) continue;
        const Registration& r = kv.second;
        if (!event.volume && !r.volume) r.observer->OnDefaultDeviceChanged();
        if (event.volume && r.volume && r.sink == event.sink) {
          r.observer->OnVolumeChanged(event.muted, event.volume_level);
        }
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Event> events_;
  bool stop_ = false;
  // Held while observers are called so that Unregister waits for a delivery.
  std::recursive_mutex observers_mutex_;
  std::map<int, Registration> registrations_;
  int next_token_ = 1;
  std::thread thread_;
};

class PulseAudioSystem::PulseSubscription : public Subscription {
 public:
  PulseSubscription(std::shared_ptr<Notifier> notifier, int token)
      : notifier_(std::move(notifier)), token_(token) {}
  ~PulseSubscription() override { notifier_->Unregister(token_); }

 private:
  std::shared_ptr<Notifier> notifier_;
  int token_;
};

// --- Connection ---

class PulseAudioSystem::Connection {
 public:
  explicit Connection(std::shared_ptr<Notifier> notifier) : notifier_(std::move(notifier)) {}

  ~Connection() {
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

  AudioResult Open() {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) return AudioResult::kFailed;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), kClientName);
    if (context_ == nullptr) return AudioResult::kFailed;
    pa_context_set_state_callback(context_, &Connection::OnState, this);
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
    pa_context_set_subscribe_callback(context_, &Connection::OnEvent, this);
    Unref(pa_context_subscribe(
        context_, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
        nullptr, nullptr));
    Unref(pa_context_get_server_info(context_, &Connection::OnServerInfoEvent, this));
    return AudioResult::kOk;
  }

  bool Alive() {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return state_ == PA_CONTEXT_READY;
  }

  struct Locked {
    explicit Locked(Connection* c) : loop(c->loop_) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    pa_threaded_mainloop* loop;
  };

  static void Unref(pa_operation* op) {
    if (op != nullptr) pa_operation_unref(op);
  }

  // The default sink as the system shows it: while an output is muted by diversion
  // the server's default is the stand-in sink, but the endpoint is still the output.
  AudioResult DefaultSinkName(std::string* name) {
    AudioResult r = RealDefaultSinkName(name);
    if (r != AudioResult::kOk) return r;
    std::lock_guard<std::mutex> lock(alias_mutex_);
    if (!diverted_sink_.empty() && *name == kMutedSinkName) *name = diverted_sink_;
    return AudioResult::kOk;
  }

  bool IsDiverted(const std::string& sink) {
    std::lock_guard<std::mutex> lock(alias_mutex_);
    return !diverted_sink_.empty() && diverted_sink_ == sink;
  }

  AudioResult RealDefaultSinkName(std::string* name) {
    auto request = std::make_shared<Request<std::string>>();
    {
      Locked lock(this);
      auto* holder = NewHolder(request);
      pa_operation* op = pa_context_get_server_info(context_, &OnServerInfo, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    AudioResult r = request->Wait();
    if (r != AudioResult::kOk) return r;
    std::lock_guard<std::mutex> lock(request->mutex);
    if (request->value.empty()) return AudioResult::kNoDevice;
    *name = request->value;
    return AudioResult::kOk;
  }

  // All sinks (empty name) or the one of that name.
  AudioResult Sinks(const std::string& name, std::vector<SinkInfo>* sinks) {
    auto request = std::make_shared<Request<std::vector<SinkInfo>>>();
    {
      Locked lock(this);
      auto* holder = NewHolder(request);
      pa_operation* op = name.empty() ? pa_context_get_sink_info_list(context_, &OnSinkInfo, holder)
                                      : pa_context_get_sink_info_by_name(context_, name.c_str(), &OnSinkInfo, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    AudioResult r = request->Wait();
    if (r != AudioResult::kOk) return r;
    std::lock_guard<std::mutex> lock(request->mutex);
    *sinks = request->value;
    return AudioResult::kOk;
  }

  AudioResult DefaultSink(SinkInfo* sink) {
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

  // Runs one call that answers with a success flag.
  template <typename Start>
  AudioResult Call(Start start) {
    auto request = std::make_shared<Request<int>>();
    {
      Locked lock(this);
      auto* holder = NewHolder(request);
      pa_operation* op = start(context_, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    return request->Wait();
  }

  // Muting an output whose monitor is taken after the mute (any sink with software mute)
  // would silence the capture too. Instead the output's streams are moved to a null
  // sink of the same format, which becomes the server's default: nothing reaches the
  // speakers, and the loopback records the null sink's monitor. Unmuting moves the
  // streams back and removes the null sink.
  AudioResult Divert(const SinkInfo& sink) {
    std::lock_guard<std::mutex> op(divert_op_mutex_);
    if (IsDiverted(sink.name)) return AudioResult::kOk;
    std::string properties = "device.description=Castora-muted-output";
    // Sink names are plain (letters, digits and a few marks), so a double-quoted value
    // inside the single-quoted argument needs no escaping; a name that would (none the
    // server accepts) is left out, and a later recovery leaves the default to the server.
    if (sink.name.find_first_of("'\"\\ ") == std::string::npos) {
      properties += std::string(" ") + kDivertedFromProperty + "=\"" + sink.name + "\"";
    }
    const std::string args = std::string("sink_name=") + kMutedSinkName + " rate=" + std::to_string(sink.spec.rate) +
                             " channels=" + std::to_string(sink.spec.channels) + " format=" +
                             pa_sample_format_to_string(sink.spec.format) + " sink_properties='" + properties + "'";
    uint32_t module = PA_INVALID_INDEX;
    AudioResult r = LoadModule("module-null-sink", args, &module);
    if (r != AudioResult::kOk) return r;
    {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      diverted_sink_ = sink.name;
      module_ = module;
    }
    r = Call([&](pa_context* ctx, void* holder) {
      return pa_context_set_default_sink(ctx, kMutedSinkName, &OnSuccess, holder);
    });
    if (r == AudioResult::kOk) r = MoveInputs(sink.index, kMutedSinkName);
    if (r != AudioResult::kOk) {
      UndivertLocked();
      return r;
    }
    notifier_->Post(Event{true, sink.name, true, VolumeScalar(sink.volume)});
    return AudioResult::kOk;
  }

  AudioResult Undivert() {
    std::lock_guard<std::mutex> op(divert_op_mutex_);
    return UndivertLocked();
  }

  // A stand-in that this connection did not make was left by a run that ended without
  // unmuting (killed, or its server connection lost): the output it names gets the
  // default and its streams back before the stand-in goes. Without that output (it was
  // unplugged meanwhile) the server moves the streams to whatever it makes the default.
  AudioResult RemoveLeftoverStandIn() {
    std::lock_guard<std::mutex> op(divert_op_mutex_);
    std::vector<SinkInfo> stand_in;
    AudioResult r = Sinks(kMutedSinkName, &stand_in);
    if (r != AudioResult::kOk || stand_in.empty()) return r;
    const SinkInfo& left = stand_in.front();
    std::vector<SinkInfo> output;
    if (!left.diverted_from.empty() && left.diverted_from != kMutedSinkName &&
        Sinks(left.diverted_from, &output) == AudioResult::kOk && !output.empty()) {
      std::string real;
      if (RealDefaultSinkName(&real) == AudioResult::kOk && real == kMutedSinkName) {
        Call([&](pa_context* ctx, void* holder) {
          return pa_context_set_default_sink(ctx, left.diverted_from.c_str(), &OnSuccess, holder);
        });
      }
      MoveInputs(left.index, left.diverted_from);
    }
    return UnloadModule(left.owner_module);
  }

  pa_context* context() { return context_; }
  pa_threaded_mainloop* loop() { return loop_; }

 private:
  AudioResult UndivertLocked() {
    std::string sink;
    uint32_t module;
    {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      sink = diverted_sink_;
      module = module_;
    }
    if (sink.empty()) return AudioResult::kOk;
    std::string real;
    if (RealDefaultSinkName(&real) == AudioResult::kOk && real == kMutedSinkName) {
      Call([&](pa_context* ctx, void* holder) {
        return pa_context_set_default_sink(ctx, sink.c_str(), &OnSuccess, holder);
      });
    }
    std::vector<SinkInfo> muted;
    if (Sinks(kMutedSinkName, &muted) == AudioResult::kOk && !muted.empty()) MoveInputs(muted.front().index, sink);
    // Unloading moves whatever is left on the null sink to the default.
    AudioResult r = UnloadModule(module);
    {
      std::lock_guard<std::mutex> lock(alias_mutex_);
      diverted_sink_.clear();
      module_ = PA_INVALID_INDEX;
    }
    std::vector<SinkInfo> restored;
    if (Sinks(sink, &restored) == AudioResult::kOk && !restored.empty()) {
      notifier_->Post(Event{true, sink, restored.front().muted, VolumeScalar(restored.front().volume)});
    }
    return r;
  }

  AudioResult LoadModule(const std::string& name, const std::string& args, uint32_t* index) {
    auto request = std::make_shared<Request<uint32_t>>();
    {
      Locked lock(this);
      auto* holder = NewHolder(request);
      pa_operation* op = pa_context_load_module(context_, name.c_str(), args.c_str(), &OnModuleLoaded, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    AudioResult r = request->Wait();
    std::lock_guard<std::mutex> lock(request->mutex);
    *index = request->value;
    return r;
  }

  AudioResult UnloadModule(uint32_t index) {
    if (index == PA_INVALID_INDEX) return AudioResult::kOk;
    return Call([&](pa_context* ctx, void* holder) { return pa_context_unload_module(ctx, index, &OnSuccess, holder); });
  }

  // Moves every stream playing on the sink of that index to the named sink.
  AudioResult MoveInputs(uint32_t from, const std::string& to) {
    auto request = std::make_shared<Request<std::vector<std::pair<uint32_t, uint32_t>>>>();
    {
      Locked lock(this);
      auto* holder = NewHolder(request);
      pa_operation* op = pa_context_get_sink_input_info_list(context_, &OnSinkInputInfo, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    AudioResult r = request->Wait();
    if (r != AudioResult::kOk) return r;
    std::vector<std::pair<uint32_t, uint32_t>> inputs;
    {
      std::lock_guard<std::mutex> lock(request->mutex);
      inputs = request->value;
    }
    for (const auto& input : inputs) {
      if (input.second != from) continue;
      Call([&](pa_context* ctx, void* holder) {
        return pa_context_move_sink_input_by_name(ctx, input.first, to.c_str(), &OnSuccess, holder);
      });
    }
    return AudioResult::kOk;
  }

  static void OnState(pa_context* c, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    std::lock_guard<std::mutex> lock(self->state_mutex_);
    self->state_ = pa_context_get_state(c);
    self->state_cv_.notify_all();
  }

  // Loop thread: a sink or the server changed; fetch what changed.
  static void OnEvent(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* userdata) {
    auto facility = t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    auto type = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
      Unref(pa_context_get_server_info(c, &Connection::OnServerInfoEvent, userdata));
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK && type != PA_SUBSCRIPTION_EVENT_REMOVE) {
      Unref(pa_context_get_sink_info_by_index(c, index, &Connection::OnSinkEvent, userdata));
    }
  }

  static void OnServerInfoEvent(pa_context*, const pa_server_info* i, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    if (i == nullptr || i->default_sink_name == nullptr) return;
    std::string name = i->default_sink_name;
    {
      std::lock_guard<std::mutex> lock(self->alias_mutex_);
      if (!self->diverted_sink_.empty() && name == kMutedSinkName) name = self->diverted_sink_;
    }
    if (self->have_default_ && name == self->default_sink_) return;
    bool first = !self->have_default_;
    self->have_default_ = true;
    self->default_sink_ = name;
    if (!first) self->notifier_->Post(Event{false, name, false, 1.0f});
  }

  static void OnSinkEvent(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
    auto* self = static_cast<Connection*>(userdata);
    if (eol != 0 || i == nullptr || i->name == nullptr) return;
    // Sinks report many kinds of change; only mute and volume are passed on.
    std::pair<bool, float> now(i->mute != 0 || self->IsDiverted(i->name), VolumeScalar(i->volume));
    auto it = self->last_volume_.find(i->index);
    if (it != self->last_volume_.end() && it->second == now) return;
    self->last_volume_[i->index] = now;
    self->notifier_->Post(Event{true, i->name, now.first, now.second});
  }

  std::shared_ptr<Notifier> notifier_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  bool running_ = false;
  std::mutex state_mutex_;
  std::condition_variable state_cv_;
  pa_context_state_t state_ = PA_CONTEXT_UNCONNECTED;
  // Serialises Divert and Undivert, which wait on the server.
  std::mutex divert_op_mutex_;
  // The diverted output and the null sink's module; read by the loop thread too.
  std::mutex alias_mutex_;
  std::string diverted_sink_;
  uint32_t module_ = PA_INVALID_INDEX;
  // Loop thread only.
  bool have_default_ = false;
  std::string default_sink_;
  std::map<uint32_t, std::pair<bool, float>> last_volume_;
};

// --- Loopback stream ---

class PulseAudioSystem::Stream : public LoopbackStream {
 public:
  Stream(std::shared_ptr<Connection> connection, const MixFormat& format, bool applies_volume)
      : connection_(std::move(connection)), format_(format), applies_volume_(applies_volume) {}

  ~Stream() override {
    if (stream_ == nullptr) return;
    Connection::Locked lock(connection_.get());
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }

  AudioResult Open(const std::string& monitor, const pa_sample_spec& spec) {
    pa_channel_map map = WaveLayout(spec.channels);
    {
      Connection::Locked lock(connection_.get());
      stream_ = pa_stream_new(connection_->context(), "Castora loopback", &spec, &map);
      if (stream_ == nullptr) return AudioResult::kUnsupported;
      pa_stream_set_state_callback(stream_, &Stream::OnState, this);
      pa_stream_set_read_callback(stream_, &Stream::OnReadable, this);
      pa_buffer_attr attr;
      attr.maxlength = static_cast<uint32_t>(-1);
      attr.tlength = static_cast<uint32_t>(-1);
      attr.prebuf = static_cast<uint32_t>(-1);
      attr.minreq = static_cast<uint32_t>(-1);
      attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
      // Not moved with the default: a new default reopens the capture in that sink's format.
      auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
      if (pa_stream_connect_record(stream_, monitor.c_str(), &attr, flags) < 0) return AudioResult::kFailed;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, kConnectTimeout, [this] { return ready_ || failed_; })) return AudioResult::kTimedOut;
    return failed_ ? AudioResult::kFailed : AudioResult::kOk;
  }

  MixFormat Format() const override { return format_; }
  bool AppliesEndpointVolume() const override { return applies_volume_; }
  AudioResult Start() override { return AudioResult::kOk; }

  WaitResult WaitForData(std::chrono::milliseconds timeout) override {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, timeout, [this] { return readable_ || failed_; });
    if (failed_) return WaitResult::kError;
    return readable_ ? WaitResult::kData : WaitResult::kTimeout;
  }

  ReadResult ReadPacket(CapturePacket* packet) override {
    Connection::Locked lock(connection_.get());
    pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) return ReadResult::kError;
    const void* data = nullptr;
    size_t size = 0;
    if (pa_stream_peek(stream_, &data, &size) < 0) return ReadResult::kError;
    if (size == 0) {
      std::lock_guard<std::mutex> guard(mutex_);
      readable_ = false;
      return ReadResult::kEmpty;
    }
    const size_t align = format_.BlockAlign();
    packet->frames = static_cast<uint32_t>(size / align);
    // A hole in the record buffer is silence the server never wrote; a packet of zero
    // samples is what a sink renders while nothing plays. Either is dropped like a
    // packet the system marks silent, so nothing is sent while the computer is silent.
    packet->silent = data == nullptr || IsDigitalSilence(static_cast<const uint8_t*>(data),
                                                          packet->frames * align, format_.type);
    if (data != nullptr) {
      buffer_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + packet->frames * align);
      packet->data = buffer_.data();
    } else {
      packet->data = nullptr;
    }
    pa_stream_drop(stream_);
    return ReadResult::kPacket;
  }

  void ReleasePacket() override {}

 private:
  static void OnState(pa_stream* s, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    pa_stream_state_t state = pa_stream_get_state(s);
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (state == PA_STREAM_READY) self->ready_ = true;
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) self->failed_ = true;
    self->cv_.notify_all();
  }

  static void OnReadable(pa_stream*, size_t, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->readable_ = true;
    self->cv_.notify_all();
  }

  std::shared_ptr<Connection> connection_;
  MixFormat format_;
  bool applies_volume_;
  pa_stream* stream_ = nullptr;
  std::vector<uint8_t> buffer_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ready_ = false;
  bool failed_ = false;
  bool readable_ = false;
};

// --- PulseAudioSystem ---

PulseAudioSystem::PulseAudioSystem() : notifier_(std::make_shared<Notifier>()) {}

PulseAudioSystem::~PulseAudioSystem() {
  std::lock_guard<std::mutex> lock(connect_mutex_);
  // The output's streams go back to it before the server forgets who moved them.
  if (connection_ != nullptr && connection_->Alive()) connection_->Undivert();
  connection_.reset();
}

std::shared_ptr<PulseAudioSystem::Connection> PulseAudioSystem::Connect(AudioResult* result) {
  std::lock_guard<std::mutex> lock(connect_mutex_);
  if (connection_ != nullptr && connection_->Alive()) {
    *result = AudioResult::kOk;
    return connection_;
  }
  connection_.reset();
  auto connection = std::make_shared<Connection>(notifier_);
  *result = connection->Open();
  if (*result != AudioResult::kOk) return nullptr;
  // A stand-in sink left behind by an earlier connection (or a killed run) would keep
  // the output silent.
  connection->RemoveLeftoverStandIn();
  connection_ = connection;
  return connection_;
}

AudioResult PulseAudioSystem::RecoverOutput() {
  // Every new connection removes what an earlier run left behind.
  AudioResult r;
  Connect(&r);
  return r;
}

std::chrono::steady_clock::time_point PulseAudioSystem::Now() { return std::chrono::steady_clock::now(); }

AudioResult PulseAudioSystem::GetDefaultEndpoint(Endpoint* endpoint) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r != AudioResult::kOk) return r;
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
  for (const SinkInfo& s : sinks) endpoints->push_back(Endpoint{s.name, s.connected});
  return AudioResult::kOk;
}

AudioResult PulseAudioSystem::SetDefaultEndpoint(const std::string& id) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  return c->Call([&](pa_context* ctx, void* holder) {
    return pa_context_set_default_sink(ctx, id.c_str(), &OnSuccess, holder);
  });
}

AudioResult PulseAudioSystem::GetMute(bool* muted) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r == AudioResult::kOk) *muted = sink.muted || c->IsDiverted(sink.name);
  return r;
}

AudioResult PulseAudioSystem::SetMute(bool muted) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r != AudioResult::kOk) return r;
  if (muted) return c->Divert(sink);
  if (c->IsDiverted(sink.name)) {
    r = c->Undivert();
    if (r != AudioResult::kOk || !sink.muted) return r;
  }
  return c->Call([&](pa_context* ctx, void* holder) {
    return pa_context_set_sink_mute_by_name(ctx, sink.name.c_str(), 0, &OnSuccess, holder);
  });
}

AudioResult PulseAudioSystem::GetMasterVolume(float* volume) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r == AudioResult::kOk) *volume = VolumeScalar(sink.volume);
  return r;
}

AudioResult PulseAudioSystem::SetMasterVolume(float volume) {
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r != AudioResult::kOk) return r;
  volume = std::min(1.0f, std::max(0.0f, volume));
  pa_cvolume cv = sink.volume;
  // Scales every channel so that the balance between them stays as it is.
  pa_cvolume_scale(&cv, static_cast<pa_volume_t>(volume * static_cast<float>(PA_VOLUME_NORM)));
  return c->Call([&](pa_context* ctx, void* holder) {
    return pa_context_set_sink_volume_by_name(ctx, sink.name.c_str(), &cv, &OnSuccess, holder);
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
  AudioResult r;
  auto c = Connect(&r);
  if (!c) return r;
  SinkInfo sink;
  r = c->DefaultSink(&sink);
  if (r != AudioResult::kOk) return r;
  pa_sample_spec spec = sink.spec;
  MixFormat format;
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
  // A diverted output's sound is on the stand-in sink, at full volume: the capture
  // scales it by the output's volume itself.
  const bool diverted = c->IsDiverted(sink.name);
  auto s = std::make_unique<Stream>(c, format, diverted ? false : !sink.hw_volume);
  r = s->Open(diverted ? std::string(kMutedSinkName) + ".monitor" : sink.monitor, spec);
  if (r != AudioResult::kOk) return r;
  *stream = std::move(s);
  return AudioResult::kOk;
}

}  // namespace platform::audio
