#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

// Which program a private server runs: PulseAudio's own, or PipeWire's PulseAudio
// server (pipewire, its session manager wireplumber and pipewire-pulse, on a session
// bus of their own), which a current desk runs instead.
enum class SoundServer { kPulseAudio, kPipeWire };

// What a private server is started with. The restore modules are those of a desk's
// default configuration (device, stream and default-device restore), which keep the
// user's choices across a restart; PipeWire's session manager always keeps them.
struct ServerSpec {
  SoundServer program = SoundServer::kPulseAudio;
  bool restore_modules = false;
};

// A sound server for the tests that need a real one: the server PULSE_SERVER names
// when it answers, else a private server started from the `pulseaudio` program (or
// PipeWire's, asked for) with two null sinks ("castora_speaker", 44.1 kHz 16-bit
// stereo, the default, and "castora_usb", which claims to be one of the maker's USB
// devices). Without either the tests skip. A private server's processes end with the
// object, or with the thread that started them.
class PulseTestServer {
 public:
  PulseTestServer() = default;
  ~PulseTestServer();
  PulseTestServer(const PulseTestServer&) = delete;
  PulseTestServer& operator=(const PulseTestServer&) = delete;

  // True when a server answers; sets PULSE_SERVER for this process. *why says why not.
  bool Start(std::string* why);
  bool Private() const { return !pids_.empty(); }
  // For the tests that change the output: a private server, started; false with *why
  // under ThreadSanitizer, without a server, or when the one that answers is not ours.
  bool StartPrivate(std::string* why, const ServerSpec& spec = ServerSpec());
  // The private server stops and starts again with what it has saved, as when a desk
  // restarts its sound server: the speaker and the USB output come back, outputs
  // plugged in since do not, and the default is the one the server restores (without
  // restore modules PulseAudio's own pick). False with *why when it does not answer.
  bool Restart(std::string* why);
  SoundServer Program() const { return spec_.program; }

 private:
  bool StartPulseAudio(std::string* why);
  bool StartPipeWire(std::string* why);
  // pipewire, wireplumber and pipewire-pulse on the bus already started, with the two
  // sinks loaded (PipeWire's server takes no modules on its command line).
  bool StartPipeWireServer(std::string* why);
  // Ends the server's processes, the session bus (pids_[0] under PipeWire) as well
  // unless `keep_bus`.
  void Stop(bool keep_bus);

  ServerSpec spec_;
  std::vector<pid_t> pids_;  // in the order started
  std::string dir_;
};

// Plays a 1 kHz tone (44.1 kHz 16-bit stereo, amplitude 10000) to the default sink
// from a thread of its own, with a short buffer so that it sounds at once. Or, asked
// for, a stream of zero samples, or of zeros with one sample of 1 every 10 ms (the
// quietest sound there is).
class TonePlayer {
 public:
  enum class Sound { kTone, kZeros, kOneSampleEvery10ms };
  explicit TonePlayer(Sound sound = Sound::kTone, const std::string& sink = std::string());
  ~TonePlayer();
  bool ok() const { return ok_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> ok_{false};
  std::thread thread_;
};

// Peak of the 16-bit samples recorded from a source for `ms` milliseconds, or -1.
int RecordPeak(const std::string& source, int ms);

// What the server itself says, asked without PulseAudioSystem (whose first connection
// removes a stand-in sink it finds, which a test of another process's stand-in must
// see): the default sink's name and the names of all sinks; empty when it does not
// answer within five seconds.
struct SinkState {
  bool muted = false;
  double volume = 0.0;  // the loudest channel, 1.0 at the norm
  bool operator==(const SinkState& o) const { return muted == o.muted && volume == o.volume; }
};
struct ServerState {
  std::string default_sink;
  std::vector<std::string> sinks;
  std::map<std::string, SinkState> sink_states;
};
ServerState QueryServer();

// What the user (or the desk) does to the server, asked like QueryServer as another
// program would: true once the server has done it. "@DEFAULT_SINK@" names the default,
// which is what a desk's mute and volume keys act on.
bool UserSetMute(const std::string& sink, bool muted);
bool UserSetVolume(const std::string& sink, double level);
bool UserSetDefault(const std::string& sink);
// Moves every stream that plays to the sink, as a mixer does.
bool UserMoveStreams(const std::string& sink);
// A new output (a null sink of that name, 48 kHz 16-bit stereo), as when a headset is
// plugged in; and an output that goes away (its module is unloaded), as when unplugged.
bool UserPlugIn(const std::string& sink);
bool UserUnplug(const std::string& sink);
// The server drops every client of that name, as it does when that program is killed:
// what it loaded stays.
bool UserKillClients(const std::string& name);

// libpulse is not built for ThreadSanitizer: its lock-free pools and ring channels show
// up as races inside the library, so the live tests do not run in that build.
#if defined(__SANITIZE_THREAD__)
constexpr bool kPulseUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kPulseUnderThreadSanitizer = true;
#else
constexpr bool kPulseUnderThreadSanitizer = false;
#endif
#else
constexpr bool kPulseUnderThreadSanitizer = false;
#endif
