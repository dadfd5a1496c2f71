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

TonePlayer::TonePlayer(Sound sound) {
  std::mutex m;
  std::condition_variable cv;
  bool opened = false;
  thread_ = std::thread([&, this, sound] {
    pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 44100 * 4 / 20;  // 50 ms
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    pa_simple* s = pa_simple_new(nullptr, "castora-test", PA_STREAM_PLAYBACK, nullptr, "tone", &spec, nullptr,
                                 &attr, &error);
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
  int error = 0;
  pa_simple* s = pa_simple_new(nullptr, "castora-test", PA_STREAM_RECORD, source.c_str(), "peak", &spec, nullptr,
                               nullptr, &error);
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

struct Query {
  ServerState state;
  int pending = 0;
  bool failed = false;
};

void OnQueryServerInfo(pa_context*, const pa_server_info* i, void* userdata) {
  auto* q = static_cast<Query*>(userdata);
  if (i != nullptr && i->default_sink_name != nullptr) q->state.default_sink = i->default_sink_name;
  --q->pending;
}

void OnQuerySink(pa_context*, const pa_sink_info* i, int eol, void* userdata) {
  auto* q = static_cast<Query*>(userdata);
  if (eol == 0 && i != nullptr && i->name != nullptr) q->state.sinks.emplace_back(i->name);
  if (eol != 0) --q->pending;
}

}  // namespace

ServerState QueryServer() {
  Query query;
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "castora-test");
  bool asked = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    while (std::chrono::steady_clock::now() < end) {
      const pa_context_state_t state = pa_context_get_state(context);
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) break;
      if (state == PA_CONTEXT_READY && !asked) {
        asked = true;
        query.pending = 2;
        pa_operation_unref(pa_context_get_server_info(context, &OnQueryServerInfo, &query));
        pa_operation_unref(pa_context_get_sink_info_list(context, &OnQuerySink, &query));
      }
      if (asked && query.pending == 0) break;
      pa_mainloop_iterate(loop, 0, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  if (!asked || query.pending != 0) return ServerState{};
  return query.state;
}
