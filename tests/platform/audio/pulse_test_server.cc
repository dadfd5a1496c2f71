#include "tests/platform/audio/pulse_test_server.h"

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
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

}  // namespace

PulseTestServer::~PulseTestServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  unsetenv("PULSE_SERVER");
}

bool PulseTestServer::StartPrivate(std::string* why) {
  if (kPulseUnderThreadSanitizer) {
    *why = "libpulse is not instrumented for ThreadSanitizer";
    return false;
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
  const std::string socket = dir_ + "/native";
  std::vector<std::string> args = {
      "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit",
      "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
      "--load=module-null-sink sink_name=castora_speaker rate=44100 channels=2 format=s16le",
      "--load=module-null-sink sink_name=castora_usb rate=48000 channels=2 format=float32le "
      "sink_properties='device.bus=usb device.vendor.id=2e5a device.product.id=0b57'",
  };
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0 &&
        std::strncmp(*e, "PULSE_", 6) != 0) {
      env.emplace_back(*e);
    }
  }
  env.push_back("HOME=" + dir_);
  env.push_back("XDG_RUNTIME_DIR=" + dir_);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    *why = "pulseaudio could not be started";
    return false;
  }
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      *why = "pulseaudio ended at once";
      return false;
    }
    if (access(socket.c_str(), F_OK) == 0 && Answers()) {
      // The server prefers the sink it likes best; the tests want the speaker.
      platform::audio::PulseAudioSystem system;
      if (system.SetDefaultEndpoint("castora_speaker") == platform::audio::AudioResult::kOk) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *why = "pulseaudio did not answer";
  return false;
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

bool UserPlugIn(const std::string& sink) {
  struct Loaded {
    int pending = 1;
    uint32_t module = PA_INVALID_INDEX;
  } loaded;
  auto on_loaded = [](pa_context*, uint32_t index, void* userdata) {
    auto* l = static_cast<Loaded*>(userdata);
    l->module = index;
    --l->pending;
  };
  const std::string args = "sink_name=" + sink + " rate=48000 channels=2 format=s16le";
  return ServerSession().Run(&loaded.pending,
                             [&](pa_context* c) {
                               pa_operation_unref(
                                   pa_context_load_module(c, "module-null-sink", args.c_str(), on_loaded, &loaded));
                             }) &&
         loaded.module != PA_INVALID_INDEX;
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
