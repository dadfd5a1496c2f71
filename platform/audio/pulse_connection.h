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
// (SetHeld), muting the output instead moves its streams to a null sink of the same
// format (the stand-in), which becomes the server's default so that new streams land
// there as well: nothing reaches the speakers, and the loopback records the stand-in's
// monitor. Through this class the output stays the default endpoint and reads as muted;
// the stand-in is never listed and never the endpoint. The diversion belongs to the
// user's output, whichever that is: when the user picks another output or the diverted
// one goes away, the diversion moves to the new one (it is muted the same way), and a
// stand-in that names the new output takes over, so that a recovery after a kill gives
// the default back to the output the user had last. The stand-in itself is kept unmuted
// at full volume, since it is what the capture hears; a mute or volume change of it (a
// desk's keys act on the server's default) counts as a touch of the output's control,
// and a volume key's volume goes to the output, by which the capture scales. Streams
// that play on any of the user's outputs while diverted, named or moved there in a
// mixer, are caught onto the stand-in as they come; one named for an output other than
// the diverted one goes back to it at the end. Unmuting, or the capture letting go
// while the output is still muted, gives the output its streams and the default back
// and removes the stand-in; in the second case the output is muted the ordinary way
// first.
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
  };
  // The diverted output (empty when none) and its stand-in, as they are now.
  struct Diversion {
    std::string output;
    StandIn stand_in;
  };
  Diversion CurrentDiversion();

  // With divert_op_mutex_ held.
  AudioResult DivertLocked(const SinkInfo& sink);
  AudioResult RetargetLocked(const SinkInfo& sink);
  // Loads a stand-in for the output, unmuted at full volume.
  AudioResult LoadStandIn(const SinkInfo& sink, StandIn* stand_in);
  AudioResult SetFullVolume(const std::string& name, uint8_t channels);
  AudioResult UndivertLocked();
  // Moves every stream that plays on one of the user's outputs onto the stand-in; a
  // stream played on an output other than the diverted one by name remembers it, so
  // that it goes back there at the end.
  void CatchStreamsLocked();
  // Notifier thread: after the server's default changed or a sink came or went while
  // diverted, the diversion moves to the user's output as it is now.
  void FollowDefault();
  // Notifier thread: a volume key moved the stand-in's volume while diverted.
  void TakeKeyVolume();
  void CatchStreams();
  // Runs the task on the notifier's thread while the connection lives and is alive.
  void PostWhileAlive(void (PulseConnection::*task)());
  void PostEndpointChanged();

  AudioResult SetDefaultSink(const std::string& name);
  AudioResult SetSinkMute(const std::string& name, bool muted);
  AudioResult LoadModule(const std::string& name, const std::string& args, uint32_t* index);
  AudioResult UnloadModule(uint32_t index);
  // Moves every stream playing on the sink of that index to the named sink.
  AudioResult MoveInputs(uint32_t from, const std::string& to);
  AudioResult MoveInput(uint32_t input, const std::string& to);
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
  float diverted_volume_ = 1.0f;
  uint32_t module_ = PA_INVALID_INDEX;
  uint32_t stand_in_index_ = PA_INVALID_INDEX;
  std::string stand_in_name_;  // numbered by the server while another one has the name
  // Streams caught on an output other than the diverted one: stream index to output.
  std::map<uint32_t, std::string> stream_origin_;
  // Loop thread only.
  bool have_default_ = false;
  std::string default_sink_;
  // Mute and volume of each sink as last seen, so that only changes are passed on.
  std::map<uint32_t, std::pair<bool, float>> last_volume_;
};

}  // namespace platform::audio
