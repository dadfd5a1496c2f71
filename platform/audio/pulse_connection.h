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
// the sound system makes, the diversion that stands in for muting, and the subscription
// that turns the server's changes into notifications.
//
// The diversion. A sink's monitor is taken after the sink's mute, so muting an output
// the ordinary way would silence the capture too. While a capture holds the connection
// (SetHeld), muting the output instead moves its streams to a null sink (the stand-in),
// which becomes the server's default so that new streams land there as well: nothing
// reaches the speakers, and the loopback records the stand-in's monitor. Through this
// class the output stays the default endpoint and reads as muted; the stand-in is never
// listed and never the endpoint. The diversion belongs to the user's output, whichever
// that is: when the user picks another output or the diverted one goes away, the
// diversion moves to the new one (it is muted the same way), with the same stand-in.
// The stand-in is kept unmuted (a desk's mute key acts on the server's default; it
// counts as a touch of the output's control). What is moved, caught and given back,
// how the two volumes are kept equal, and what a recovery after a kill reads, is the
// policy of pulse_diversion.h. Unmuting, or the capture letting go while the output is
// still muted, gives the output its streams and the default back and removes the
// stand-in; in the second case the output is muted the ordinary way first.
class PulseConnection : public std::enable_shared_from_this<PulseConnection> {
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

  // The default sink as the system shows it: while an output is diverted the server's
  // default is the stand-in, but the endpoint is still the output.
  AudioResult DefaultSinkName(std::string* name);
  bool IsDiverted(const std::string& sink);
  // True while `sink` is diverted, with the monitor of its stand-in, which the capture
  // records instead of the output's.
  bool DivertedMonitor(const std::string& sink, std::string* monitor);
  AudioResult RealDefaultSinkName(std::string* name);
  // All sinks (empty name) or the one of that name.
  AudioResult Sinks(const std::string& name, std::vector<SinkInfo>* sinks);
  AudioResult DefaultSink(SinkInfo* sink);
  // Makes the sink the server's default; while diverted, the diversion moves to it
  // instead. A stand-in is refused.
  AudioResult SetDefaultEndpoint(const std::string& name);

  // Runs one call that answers with a success flag: start(context, callback, userdata)
  // issues it with the callback and user data given.
  template <typename Start>
  AudioResult Call(Start start) {
    return Ask<int>(
        [&](pa_context* context, void* userdata) { return start(context, &OnPulseSuccess, userdata); },
        nullptr);
  }

  // Whether a capture holds the connection: muting diverts while it does. Letting go
  // turns a diversion into the ordinary mute of the output.
  void SetHeld(bool held);
  // Mutes the endpoint `sink` (diverted while held, else the ordinary way).
  AudioResult Mute(const SinkInfo& sink);
  // Ends a diversion (the output's own mute stays as it is), else clears the ordinary
  // mute of the endpoint `sink`.
  AudioResult Unmute(const SinkInfo& sink);
  // Ends a diversion, leaving the ordinary mute as it is.
  AudioResult Undivert();

  // Stand-ins that this connection did not make were left by a run that ended without
  // unmuting (killed, or its server connection lost): the output each names gets the
  // default and its streams back before the stand-in goes. Without that output (it was
  // unplugged meanwhile) the server moves the streams to whatever it makes the default.
  AudioResult RemoveLeftoverStandIns();

  // The output diverted now (empty when none) and the token of its record: what a
  // connection that was lost leaves for the next one.
  std::string DivertedOutput(std::string* record_token);
  // The output a lost connection had diverted, not (yet) there: while diverted, it is
  // followed when it comes (a restarted server loads its outputs one by one), unless
  // the user picks another one first.
  void SetWantedOutput(const std::string& name);
  // The factor by which the loopback scales the stand-in's monitor (pulse_diversion.h).
  float MonitorGain();

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

  struct StandIn {
    uint32_t module = PA_INVALID_INDEX;
    uint32_t index = PA_INVALID_INDEX;
    std::string name;
    uint8_t channels = 2;
  };
  // The diverted output (empty when none) and its stand-in, as they are now.
  struct Diversion {
    std::string output;
    uint32_t output_index = PA_INVALID_INDEX;
    StandIn stand_in;
    std::string token;
  };
  Diversion CurrentDiversion();

  // With divert_op_mutex_ held.
  AudioResult DivertLocked(const SinkInfo& sink);
  AudioResult RetargetLocked(const SinkInfo& sink);
  // Loads a stand-in for the output, unmuted at the output's volume, naming the record.
  AudioResult LoadStandIn(const SinkInfo& sink, const std::string& token, StandIn* stand_in);
  AudioResult SetFlatVolume(uint32_t sink, uint8_t channels, pa_volume_t level);
  AudioResult UndivertLocked();
  // Moves every stream that plays on the diverted output onto the stand-in; `remember`
  // makes each remember that output (it was played there by name or moved there).
  void CatchStreamsLocked(bool remember);
  // Streams caught from an output that is no longer the diverted one go back to it.
  void ReturnCaughtStreamsLocked(const std::string& output);
  // Notifier thread: after the server's default changed or a sink came or went while
  // diverted, the diversion moves to the user's output as it is now.
  void FollowDefault();
  // Notifier thread: the stand-in's or the output's volume changed while diverted.
  void SyncVolume();
  void CatchStreams();
  // Runs the task on the notifier's thread while the connection lives and is alive.
  void PostWhileAlive(void (PulseConnection::*task)());
  void PostEndpointChanged();

  AudioResult SetDefaultSink(const std::string& name);
  AudioResult SetSinkMute(const std::string& name, bool muted);
  AudioResult LoadModule(const std::string& name, const std::string& args, uint32_t* index);
  AudioResult UnloadModule(uint32_t index);
  // The sink of that index (none when it is gone).
  AudioResult SinkAt(uint32_t index, std::vector<SinkInfo>* sinks);
  // Moves every stream playing on the sink of index `from` to the sink of index `to`.
  AudioResult MoveInputs(uint32_t from, uint32_t to);
  AudioResult MoveInput(uint32_t input, uint32_t to);
  // (stream index, sink index) of every stream that plays.
  AudioResult SinkInputs(std::vector<std::pair<uint32_t, uint32_t>>* inputs);

  static void OnState(pa_context* c, void* userdata);
  static void OnEvent(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void* userdata);
  static void OnServerInfoEvent(pa_context*, const pa_server_info* i, void* userdata);
  static void OnSinkEvent(pa_context* c, const pa_sink_info* i, int eol, void* userdata);
  static void OnSinkSeen(pa_context*, const pa_sink_info* i, int eol, void* userdata);
  static void OnSinkInputEvent(pa_context*, const pa_sink_input_info* i, int eol, void* userdata);

  std::shared_ptr<PulseNotifier> notifier_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  bool running_ = false;
  std::mutex state_mutex_;
  std::condition_variable state_cv_;
  pa_context_state_t state_ = PA_CONTEXT_UNCONNECTED;
  // Serialises every change of the diversion and of the hold, which wait on the server.
  std::mutex divert_op_mutex_;
  bool held_ = false;  // under divert_op_mutex_
  // The diverted output, its volume and the stand-in's module; read by the loop
  // thread too.
  std::mutex alias_mutex_;
  std::string diverted_sink_;
  uint32_t diverted_index_ = PA_INVALID_INDEX;
  float diverted_volume_ = 1.0f;
  uint32_t module_ = PA_INVALID_INDEX;
  uint32_t stand_in_index_ = PA_INVALID_INDEX;
  uint8_t stand_in_channels_ = 2;
  std::string stand_in_name_;
  std::string record_token_;
  std::string wanted_output_;
  // The loudest channel both volumes had when last made equal, and the loopback's gain.
  pa_volume_t synced_volume_ = PA_VOLUME_NORM;
  float monitor_gain_ = 1.0f;
  // Streams caught from the output they were played on by name or moved to: stream
  // index to that output's name.
  std::map<uint32_t, std::string> stream_origin_;
  // Loop thread only.
  bool have_default_ = false;
  std::string default_sink_;
  // Mute and volume of each sink as last seen, so that only changes are passed on.
  std::map<uint32_t, std::pair<bool, float>> last_volume_;
};

}  // namespace platform::audio
