#include "tests/platform/audio/pulse_test_server.h"

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/audio/pulse_audio_system.h"

extern char** environ;

namespace {

bool Answers() {
  platform::audio::PulseAudioSystem system;
  platform::audio::Endpoint endpoint;
  return system.GetDefaultEndpoint(&endpoint) == platform::audio::AudioResult::kOk;
}

bool InPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string all = path;
  size_t at = 0;
  while (at <= all.size()) {
    size_t end = all.find(':', at);
    if (end == std::string::npos) end = all.size();
    std::string candidate = all.substr(at, end - at) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

// This process's environment without the variables that point a sound server or its
// clients at the user's own session, then `own`.
std::vector<std::string> PrivateEnvironment(const std::vector<std::string>& own) {
  static const char* const kDropped[] = {"HOME=", "XDG_", "PULSE_", "PIPEWIRE_", "DBUS_SESSION_BUS_ADDRESS="};
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    bool dropped = false;
    for (const char* prefix : kDropped) dropped = dropped || std::strncmp(*e, prefix, std::strlen(prefix)) == 0;
    if (!dropped) env.emplace_back(*e);
  }
  env.insert(env.end(), own.begin(), own.end());
  return env;
}

// Starts a program with its output appended to `log` (or dropped) and SIGTERM sent
// to it when the calling thread ends, so that a test killed at its time-out leaves no
// server behind. -1 when it cannot be started.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, const std::string& log) {
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int out = open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (out < 0 || in < 0) {
    if (out >= 0) close(out);
    if (in >= 0) close(in);
    return -1;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on: the test process has threads.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out);
  close(in);
  return pid;
}

// Ends a process started by Spawn: SIGTERM, then SIGKILL after two seconds.
void End(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool Exited(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == pid; }

bool WriteFile(const std::string& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  std::ofstream file(path);
  file << text;
  return static_cast<bool>(file.flush());
}

// The last lines a program logged, for a message.
std::string Tail(const std::string& log) {
  std::ifstream file(log);
  std::string line, last;
  while (std::getline(file, line)) {
    if (!line.empty()) last = line;
  }
  return last.empty() ? std::string() : ": " + last;
}

constexpr char kSpeakerSink[] = "module-null-sink sink_name=castora_speaker rate=44100 channels=2 format=s16le";
constexpr char kUsbSink[] =
    "module-null-sink sink_name=castora_usb rate=48000 channels=2 format=float32le "
    "sink_properties='device.bus=usb device.vendor.id=2e5a device.product.id=0b57'";

bool LoadModule(const std::string& line);

}  // namespace

PulseTestServer::~PulseTestServer() {
  Stop(false);
  // A folder of our own means PULSE_SERVER was ours too (or not set).
  if (dir_.empty()) return;
  unsetenv("PULSE_SERVER");
  std::error_code error;
  std::filesystem::remove_all(dir_, error);
}

void PulseTestServer::Stop(bool keep_bus) {
  const size_t kept = keep_bus && spec_.program == SoundServer::kPipeWire ? 1 : 0;
  while (pids_.size() > kept) {
    End(pids_.back());
    pids_.pop_back();
  }
}

bool PulseTestServer::StartPrivate(std::string* why, const ServerSpec& spec) {
  if (kPulseUnderThreadSanitizer) {
    *why = "libpulse is not instrumented for ThreadSanitizer";
    return false;
  }
  spec_ = spec;
  if (spec.program == SoundServer::kPipeWire) {
    if (!StartPipeWire(why)) {
      Stop(false);
      return false;
    }
    return true;
  }
  if (!Start(why)) return false;
  if (!Private()) {
    *why = "changes the output: private server only";
    return false;
  }
  return true;
}

bool PulseTestServer::Start(std::string* why) {
  if (std::getenv("PULSE_SERVER") != nullptr && Answers()) return true;
  if (!InPath("pulseaudio")) {
    *why = "no sound server and no pulseaudio program to start one";
    return false;
  }
  char tmpl[] = "/tmp/castora-pulse-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    *why = "no temporary folder";
    return false;
  }
  dir_ = tmpl;
  if (!StartPulseAudio(why)) return false;
  // The server prefers the sink it likes best; the tests want the speaker.
  platform::audio::PulseAudioSystem system;
  if (system.SetDefaultEndpoint("castora_speaker") != platform::audio::AudioResult::kOk) {
    *why = "pulseaudio did not take the speaker as its default";
    return false;
  }
  return true;
}

bool PulseTestServer::StartPulseAudio(std::string* why) {
  const std::string socket = dir_ + "/native";
  std::vector<std::string> args = {
      "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit",
      "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
  };
  // Before the sinks, as a desk's configuration has them: a sink restores its volume
  // and mute as it appears.
  if (spec_.restore_modules) {
    for (const char* module : {"module-device-restore", "module-stream-restore", "module-default-device-restore"}) {
      args.push_back(std::string("--load=") + module);
    }
  }
  args.push_back(std::string("--load=") + kSpeakerSink);
  args.push_back(std::string("--load=") + kUsbSink);
  const pid_t pid = Spawn(args, PrivateEnvironment({"HOME=" + dir_, "XDG_RUNTIME_DIR=" + dir_}), std::string());
  if (pid < 0) {
    *why = "pulseaudio could not be started";
    return false;
  }
  pids_.push_back(pid);
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  for (int i = 0; i < 100; ++i) {
    if (Exited(pid)) {
      pids_.pop_back();
      *why = "pulseaudio ended at once";
      return false;
    }
    if (access(socket.c_str(), F_OK) == 0 && Answers()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *why = "pulseaudio did not answer";
  return false;
}

bool PulseTestServer::StartPipeWire(std::string* why) {
  std::string missing;
  for (const char* program : {"pipewire", "wireplumber", "pipewire-pulse", "dbus-daemon"}) {
    if (!InPath(program)) missing += std::string(missing.empty() ? "" : ", ") + program;
  }
  if (!missing.empty()) {
    *why = "PipeWire's PulseAudio server cannot be started here: no " + missing + " program";
    return false;
  }
  char tmpl[] = "/tmp/castora-pipewire-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    *why = "no temporary folder";
    return false;
  }
  dir_ = tmpl;
  // A session bus that starts no services: the desk's own (portals, a second sound
  // server) stay out of it.
  const std::string bus = dir_ + "/bus";
  const bool written =
      WriteFile(dir_ + "/bus.conf",
                "<busconfig><type>session</type><listen>unix:path=" + bus +
                    "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                    "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n") &&
      // The session manager leaves the machine's sound cards, cameras and Bluetooth
      // alone: the tests' outputs are their null sinks.
      WriteFile(dir_ + "/config/wireplumber/main.lua.d/51-castora-test.lua",
                "alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\nlibcamera_monitor.enabled = false\n") &&
      WriteFile(dir_ + "/config/wireplumber/bluetooth.lua.d/51-castora-test.lua", "bluez_monitor.enabled = false\n");
  if (!written) {
    *why = "the private server's configuration could not be written";
    return false;
  }
  const pid_t bus_pid = Spawn({"dbus-daemon", "--config-file=" + dir_ + "/bus.conf", "--nofork", "--nopidfile"},
                              PrivateEnvironment({"HOME=" + dir_}), dir_ + "/dbus.log");
  if (bus_pid < 0) {
    *why = "dbus-daemon could not be started";
    return false;
  }
  pids_.push_back(bus_pid);
  for (int i = 0; i < 100 && access(bus.c_str(), F_OK) != 0; ++i) {
    if (Exited(bus_pid)) {
      pids_.pop_back();
      *why = "the private session bus ended at once" + Tail(dir_ + "/dbus.log");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (access(bus.c_str(), F_OK) != 0) {
    *why = "the private session bus did not start";
    return false;
  }
  if (!StartPipeWireServer(why)) return false;
  // The first start makes the speaker the default, as the user has it; a restart keeps
  // what the session manager restores.
  for (int i = 0; i < 100; ++i) {
    if (UserSetDefault("castora_speaker") && QueryServer().default_sink == "castora_speaker") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *why = "PipeWire's PulseAudio server did not take the speaker as its default";
  return false;
}

bool PulseTestServer::StartPipeWireServer(std::string* why) {
  const std::vector<std::string> env =
      PrivateEnvironment({"HOME=" + dir_, "XDG_RUNTIME_DIR=" + dir_, "PIPEWIRE_RUNTIME_DIR=" + dir_,
                          "XDG_CONFIG_HOME=" + dir_ + "/config", "XDG_STATE_HOME=" + dir_ + "/state",
                          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_ + "/bus"});
  const std::string core = dir_ + "/pipewire-0";
  const std::string socket = dir_ + "/pulse/native";
  // A restart finds the sockets of the processes before it.
  unlink(core.c_str());
  unlink(socket.c_str());
  // The core first: the session manager and the PulseAudio server connect to it.
  static const char* const kPrograms[] = {"pipewire", "wireplumber", "pipewire-pulse"};
  const size_t first = pids_.size();
  for (const char* program : kPrograms) {
    const pid_t pid = Spawn({program}, env, dir_ + "/" + program + ".log");
    if (pid < 0) {
      *why = std::string(program) + " could not be started";
      return false;
    }
    pids_.push_back(pid);
    for (int i = 0; pids_.size() == first + 1 && i < 100 && access(core.c_str(), F_OK) != 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  bool answers = false;
  for (int i = 0; i < 100 && !answers; ++i) {
    for (size_t n = 0; n < 3; ++n) {
      if (Exited(pids_[first + n])) {
        pids_.erase(pids_.begin() + static_cast<std::ptrdiff_t>(first + n));
        const std::string log = dir_ + "/" + kPrograms[n] + ".log";
        *why = std::string(kPrograms[n]) + " ended at once" + Tail(log);
        return false;
      }
    }
    answers = access(socket.c_str(), F_OK) == 0 && Answers();
    if (!answers) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!answers) {
    *why = "PipeWire's PulseAudio server did not answer" + Tail(dir_ + "/pipewire-pulse.log");
    return false;
  }
  if (!LoadModule(kSpeakerSink) || !LoadModule(kUsbSink)) {
    *why = "PipeWire's PulseAudio server did not load the null sinks";
    return false;
  }
  return true;
}

bool PulseTestServer::Restart(std::string* why) {
  if (pids_.empty()) {
    *why = "no private server to restart";
    return false;
  }
  Stop(true);
  return spec_.program == SoundServer::kPipeWire ? StartPipeWireServer(why) : StartPulseAudio(why);
}

TonePlayer::TonePlayer(Sound sound, const std::string& sink) {
  std::mutex m;
  std::condition_variable cv;
  bool opened = false;
  thread_ = std::thread([&, this, sound, sink] {
    pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 44100 * 4 / 20;  // 50 ms
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    pa_simple* s = pa_simple_new(nullptr, "castora-test", PA_STREAM_PLAYBACK,
                                 sink.empty() ? nullptr : sink.c_str(), "tone", &spec, nullptr, &attr, &error);
    {
      std::lock_guard<std::mutex> lock(m);
      ok_ = s != nullptr;
      opened = true;
      cv.notify_all();
    }
    if (s == nullptr) return;
    std::vector<int16_t> buffer(441 * 2);
    double phase = 0.0;
    while (!stop_) {
      for (int i = 0; i < 441; ++i) {
        const auto v = static_cast<int16_t>(10000 * std::sin(phase));
        phase = std::fmod(phase + 2 * M_PI * 1000 / 44100, 2 * M_PI);
        buffer[2 * i] = buffer[2 * i + 1] = sound == Sound::kTone ? v : 0;
      }
      if (sound == Sound::kOneSampleEvery10ms) buffer[441] = 1;
      if (pa_simple_write(s, buffer.data(), buffer.size() * 2, &error) < 0) break;
    }
    pa_simple_free(s);
  });
  std::unique_lock<std::mutex> lock(m);
  cv.wait_for(lock, std::chrono::seconds(5), [&] { return opened; });
  // The thread touches m, cv and opened only before it signals, so they may go now.
  if (!opened) ok_ = false;
}

TonePlayer::~TonePlayer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

int RecordPeak(const std::string& source, int ms) {
  pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
  // Fragments of 10 ms: by default the server hands a quiet null sink's monitor over in
  // blocks of seconds.
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(-1);
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = 441 * 4;
  int error = 0;
  pa_simple* s = pa_simple_new(nullptr, "castora-test", PA_STREAM_RECORD, source.c_str(), "peak", &spec, nullptr,
                               &attr, &error);
  if (s == nullptr) return -1;
  std::vector<int16_t> buffer(441 * 2);
  int peak = 0;
  for (int i = 0; i < ms / 10; ++i) {
    if (pa_simple_read(s, buffer.data(), buffer.size() * 2, &error) < 0) break;
    for (int16_t v : buffer) peak = std::max(peak, std::abs(static_cast<int>(v)));
  }
  pa_simple_free(s);
  return peak;
}

namespace {

// A connection of its own on a plain main loop, for one exchange at a time.
class ServerSession {
 public:
  ServerSession() : loop_(pa_mainloop_new()), context_(pa_context_new(pa_mainloop_get_api(loop_), "castora-test")) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
    while (std::chrono::steady_clock::now() < end) {
      const pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) {
        ready_ = true;
        return;
      }
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) return;
      pa_mainloop_iterate(loop_, 0, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~ServerSession() {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_mainloop_free(loop_);
  }

  // Issues requests with start(context) (each answer's callback decrements *pending)
  // and runs the loop until every answer has come; false after five seconds.
  template <typename Start>
  bool Run(int* pending, Start start) {
    if (!ready_) return false;
    start(context_);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (*pending > 0 && std::chrono::steady_clock::now() < end) {
      pa_mainloop_iterate(loop_, 0, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return *pending == 0;
  }

  // One request answered with a success flag.
  template <typename Start>
  bool Do(Start start) {
    struct Answer {
      int pending = 1;
      bool ok = false;
    } answer;
    auto done = [](pa_context*, int success, void* userdata) {
      auto* a = static_cast<Answer*>(userdata);
      a->ok = success != 0;
      --a->pending;
    };
    return Run(&answer.pending, [&](pa_context* c) {
             pa_operation* op = start(c, done, &answer);
             if (op == nullptr) {
               answer.pending = 0;
               return;
             }
             pa_operation_unref(op);
           }) &&
           answer.ok;
  }

 private:
  pa_mainloop* loop_;
  pa_context* context_;
  bool ready_ = false;
};

struct Query {
  ServerState state;
  int pending = 0;
};

void OnQueryServerInfo(pa_context*, const pa_server_info* i, void* userdata) {
  auto* q = static_cast<Query*>(userdata);
  if (i != nullptr && i->default_sink_name != nullptr) q->state.default_sink = i->default_sink_name;
  --q->pending;
}

void OnQuerySink(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
  auto* q = static_cast<Query*>(userdata);
  if (eol == 0 && i != nullptr && i->name != nullptr) {
    q->state.sinks.emplace_back(i->name);
    q->state.sink_states[i->name] =
        SinkState{i->mute != 0, static_cast<double>(pa_cvolume_max(&i->volume)) / PA_VOLUME_NORM};
  }
  if (eol != 0) --q->pending;
}

}  // namespace

ServerState QueryServer() {
  Query query;
  query.pending = 2;
  ServerSession session;
  const bool answered = session.Run(&query.pending, [&](pa_context* c) {
    pa_operation_unref(pa_context_get_server_info(c, &OnQueryServerInfo, &query));
    pa_operation_unref(pa_context_get_sink_info_list(c, &OnQuerySink, &query));
  });
  return answered ? query.state : ServerState{};
}

bool UserSetMute(const std::string& sink, bool muted) {
  return ServerSession().Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
    return pa_context_set_sink_mute_by_name(c, sink.c_str(), muted ? 1 : 0, done, userdata);
  });
}

bool UserSetVolume(const std::string& sink, double level) {
  pa_cvolume volume;
  pa_cvolume_set(&volume, 2, static_cast<pa_volume_t>(level * PA_VOLUME_NORM));
  return ServerSession().Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
    return pa_context_set_sink_volume_by_name(c, sink.c_str(), &volume, done, userdata);
  });
}

bool UserSetDefault(const std::string& sink) {
  return ServerSession().Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
    return pa_context_set_default_sink(c, sink.c_str(), done, userdata);
  });
}

bool UserMoveStreams(const std::string& sink) {
  ServerSession session;
  struct Found {
    int pending = 1;
    std::vector<uint32_t> inputs;
  } found;
  auto on_input = [](pa_context*, const pa_sink_input_info* i, int eol, void* userdata) {
    auto* f = static_cast<Found*>(userdata);
    if (eol == 0 && i != nullptr) f->inputs.push_back(i->index);
    if (eol != 0) --f->pending;
  };
  if (!session.Run(&found.pending, [&](pa_context* c) {
        pa_operation_unref(pa_context_get_sink_input_info_list(c, on_input, &found));
      })) {
    return false;
  }
  bool ok = true;
  for (uint32_t input : found.inputs) {
    ok = session.Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
      return pa_context_move_sink_input_by_name(c, input, sink.c_str(), done, userdata);
    }) && ok;
  }
  return ok;
}

namespace {

// Loads a module, its name then its arguments as one line; true once loaded.
bool LoadModule(const std::string& line) {
  struct Loaded {
    int pending = 1;
    uint32_t module = PA_INVALID_INDEX;
  } loaded;
  auto on_loaded = [](pa_context*, uint32_t index, void* userdata) {
    auto* l = static_cast<Loaded*>(userdata);
    l->module = index;
    --l->pending;
  };
  const size_t space = line.find(' ');
  const std::string name = line.substr(0, space);
  const std::string args = space == std::string::npos ? std::string() : line.substr(space + 1);
  return ServerSession().Run(&loaded.pending,
                             [&](pa_context* c) {
                               pa_operation_unref(
                                   pa_context_load_module(c, name.c_str(), args.c_str(), on_loaded, &loaded));
                             }) &&
         loaded.module != PA_INVALID_INDEX;
}

}  // namespace

bool UserPlugIn(const std::string& sink) {
  return LoadModule("module-null-sink sink_name=" + sink + " rate=48000 channels=2 format=s16le");
}

bool UserUnplug(const std::string& sink) {
  ServerSession session;
  struct Found {
    int pending = 1;
    uint32_t module = PA_INVALID_INDEX;
  } found;
  auto on_sink = [](pa_context*, const pa_sink_info* i, int eol, void* userdata) {
    auto* f = static_cast<Found*>(userdata);
    if (eol == 0 && i != nullptr) f->module = i->owner_module;
    if (eol != 0) --f->pending;
  };
  if (!session.Run(&found.pending, [&](pa_context* c) {
        pa_operation_unref(pa_context_get_sink_info_by_name(c, sink.c_str(), on_sink, &found));
      }) ||
      found.module == PA_INVALID_INDEX) {
    return false;
  }
  return session.Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
    return pa_context_unload_module(c, found.module, done, userdata);
  });
}

bool UserKillClients(const std::string& name) {
  ServerSession session;
  struct Found {
    int pending = 1;
    std::string name;
    std::vector<uint32_t> clients;
  } found;
  found.name = name;
  auto on_client = [](pa_context*, const pa_client_info* i, int eol, void* userdata) {
    auto* f = static_cast<Found*>(userdata);
    if (eol == 0 && i != nullptr && i->name != nullptr && f->name == i->name) f->clients.push_back(i->index);
    if (eol != 0) --f->pending;
  };
  if (!session.Run(&found.pending, [&](pa_context* c) {
        pa_operation_unref(pa_context_get_client_info_list(c, on_client, &found));
      }) ||
      found.clients.empty()) {
    return false;
  }
  bool ok = true;
  for (uint32_t client : found.clients) {
    ok = session.Do([&](pa_context* c, pa_context_success_cb_t done, void* userdata) {
      return pa_context_kill_client(c, client, done, userdata);
    }) && ok;
  }
  return ok;
}
