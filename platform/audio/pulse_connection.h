#pragma once

#include <pulse/pulseaudio.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio/audio_system.h"
#include "platform/audio/pulse_notifier.h"
#include "platform/audio/pulse_request.h"
#include "platform/audio/pulse_sink_info.h"

namespace platform::audio {

// One connection to the sound server: its threaded main loop and context, the requests
// the sound system makes, the diversion that stands in for muting, and the
// subscription that turns the server's changes into notifications.
class PulseConnection {
 public:
  explicit PulseConnection(std::shared_ptr<PulseNotifier> notifier) : notifier_(std::move(notifier)) {}
  ~PulseConnection();

  AudioResult Open();
  bool Alive();

  // Holds the main loop's lock: every call into the context is made under it.
  struct Locked {
    explicit Locked(PulseConnection* c) : loop(c->loop_) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    pa_threaded_mainloop* loop;
  };

  // The default sink as the system shows it: while an output is muted by diversion
  // the server's default is the stand-in sink, but the endpoint is still the output.
  AudioResult DefaultSinkName(std::string* name);
  bool IsDiverted(const std::string& sink);
  AudioResult RealDefaultSinkName(std::string* name);
  // All sinks (empty name) or the one of that name.
  AudioResult Sinks(const std::string& name, std::vector<SinkInfo>* sinks);
  AudioResult DefaultSink(SinkInfo* sink);
  AudioResult SetDefaultSink(const std::string& name);

  // Runs one call that answers with a success flag: start(context, callback, userdata)
  // issues it with the callback and user data given.
  template <typename Start>
  AudioResult Call(Start start) {
    return Ask<int>(
        [&](pa_context* context, void* userdata) { return start(context, &OnPulseSuccess, userdata); },
        nullptr);
  }

  // Muting an output whose monitor is taken after the mute (any sink with software mute)
  // would silence the capture too. Instead the output's streams are moved to a null
  // sink of the same format, which becomes the server's default: nothing reaches the
  // speakers, and the loopback records the null sink's monitor. Unmuting moves the
  // streams back and removes the null sink.
  AudioResult Divert(const SinkInfo& sink);
  AudioResult Undivert();

  // A stand-in that this connection did not make was left by a run that ended without
  // unmuting (killed, or its server connection lost): the output it names gets the
  // default and its streams back before the stand-in goes. Without that output (it was
  // unplugged meanwhile) the server moves the streams to whatever it makes the default.
  AudioResult RemoveLeftoverStandIn();

  pa_context* context() { return context_; }
  pa_threaded_mainloop* loop() { return loop_; }

 private:
  // Sends one request and waits (bounded) for its answer: start(context, userdata)
  // issues it with the answer callback for T and returns its operation. The answer's
  // value is copied to *value (when given) once the request succeeded.
  template <typename T, typename Start>
  AudioResult Ask(Start start, T* value) {
    auto request = std::make_shared<PulseRequest<T>>();
    {
      Locked lock(this);
      auto* holder = new PulseRequestHolder<T>(request);
      pa_operation* op = start(context_, holder);
      if (op == nullptr) {
        delete holder;
        return AudioResult::kFailed;
      }
      Unref(op);
    }
    AudioResult r = request->Wait();
    if (r == AudioResult::kOk && value != nullptr) {
      std::lock_guard<std::mutex> lock(request->mutex);
      *value = request->value;
    }
    return r;
  }

  static void Unref(pa_operation* op) {
    if (op != nullptr) pa_operation_unref(op);
  }

  AudioResult UndivertLocked();
  AudioResult LoadModule(const std::string& name, const std::string& args, uint32_t* index);
  AudioResult UnloadModule(uint32_t index);
  // Moves every stream playing on the sink of that index to the named sink.
  AudioResult MoveInputs(uint32_t from, const std::string& to);

  static void OnState(pa_context* c, void* userdata);
  static void OnEvent(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* userdata);
  static void OnServerInfoEvent(pa_context*, const pa_server_info* i, void* userdata);
  static void OnSinkEvent(pa_context*, const pa_sink_info* i, int eol, void* userdata);

  std::shared_ptr<PulseNotifier> notifier_;
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

}  // namespace platform::audio
