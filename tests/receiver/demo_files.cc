#include "tests/receiver/demo_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace receiver::demo {

namespace {

// Single-quoted for /bin/sh.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs a shell command and returns its standard output; nothing when it failed.
std::optional<std::string> Capture(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[512];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) return std::nullopt;
  return out;
}

bool HaveProgram(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

StreamFollower::StreamFollower(std::string h264_path, std::string png_path, std::string log_path)
    : h264_path_(std::move(h264_path)),
      png_path_(std::move(png_path)),
      log_path_(std::move(log_path)),
      progress_path_(log_path_ + ".progress") {}

StreamFollower::~StreamFollower() { Close(); }

bool StreamFollower::Launch() {
  if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) {
    error_ = "ffmpeg/ffprobe not found (install the ffmpeg package); the stream is left undecoded";
    return false;
  }
  // The frames are counted by the first output, which keeps every one; the second keeps
  // a picture a second, each over the one before.
  std::vector<std::string> args = {
      "ffmpeg", "-v", "error", "-nostats", "-stats_period", "5", "-progress", progress_path_,
      "-f", "h264", "-i", "pipe:0",
      "-map", "0:v", "-fps_mode", "passthrough", "-f", "null", "-",
      "-map", "0:v", "-vf", "fps=1", "-update", "1", "-y", png_path_};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    error_ = "no pipe for ffmpeg";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // The receiver blocks its stop signals and ignores SIGPIPE; ffmpeg gets neither.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, "ffmpeg", &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(pipe_fds[0]);
  if (spawned != 0) {
    ::close(pipe_fds[1]);
    error_ = "ffmpeg could not be started";
    return false;
  }
  pid_ = pid;
  input_ = pipe_fds[1];
  fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  return true;
}

void StreamFollower::Feed() {
  if (!error_.empty()) return;
  if (file_ < 0) {
    file_ = ::open(h264_path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_ < 0) return;  // not written yet
  }
  char buffer[1 << 16];
  // A bounded amount a call, so that a tick of the caller stays short.
  for (int round = 0; round < 64; ++round) {
    const ssize_t got = ::pread(file_, buffer, sizeof buffer, offset_);
    if (got <= 0) return;
    if (input_ < 0 && !Launch()) return;
    const ssize_t put = ::write(input_, buffer, static_cast<size_t>(got));
    if (put < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;  // ffmpeg is busy
      error_ = "ffmpeg stopped reading the stream (see " + log_path_ + ")";
      return;
    }
    offset_ += put;
    if (put < got) return;
  }
}

void StreamFollower::Close() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ > 0) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
  if (file_ >= 0) ::close(file_);
  file_ = -1;
}

DecodedStream StreamFollower::Finish() {
  if (input_ >= 0) fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) & ~O_NONBLOCK);
  // With a blocking input, each Feed takes its whole round; the file no longer grows.
  for (long long before = -1; error_.empty() && before != offset_;) {
    before = offset_;
    Feed();
  }
  Close();
  DecodedStream result;
  if (!error_.empty()) {
    result.error = error_;
    return result;
  }
  if (offset_ == 0) {
    result.error = "the stream is empty";
    return result;
  }
  // The last progress block of ffmpeg's is written at its end.
  std::ifstream progress(progress_path_);
  std::string line;
  while (std::getline(progress, line)) {
    if (line.rfind("frame=", 0) == 0) result.frames = std::strtol(line.c_str() + 6, nullptr, 10);
  }
  if (result.frames <= 0) {
    result.error = "no frame of the stream decodes (see " + log_path_ + ")";
    return result;
  }
  // The size is in the stream's first parameter sets: ffprobe reads only the start.
  const auto probe = Capture("ffprobe -v error -f h264 -select_streams v:0 "
                             "-show_entries stream=width,height -of default=nw=1 " +
                             ShellQuoted(h264_path_) + " 2>/dev/null");
  auto value_of = [&](const char* key) -> long {
    const std::string needle = std::string(key) + "=";
    const auto at = probe ? probe->find(needle) : std::string::npos;
    if (at == std::string::npos) return 0;
    return std::strtol(probe->c_str() + at + needle.size(), nullptr, 10);
  };
  result.width = static_cast<int>(value_of("width"));
  result.height = static_cast<int>(value_of("height"));
  if (::access(png_path_.c_str(), R_OK) != 0) {
    result.error = "ffmpeg could not write the last frame";
    return result;
  }
  result.png = png_path_;
  return result;
}

bool WriteWave(const std::string& path, const std::vector<float>& pcm) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const uint32_t data_bytes = static_cast<uint32_t>(pcm.size() * 2);
  out.write("RIFF", 4);
  PutLe(out, 36 + data_bytes, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);                 // PCM
  PutLe(out, 2, 2);                 // channels
  PutLe(out, 48000, 4);             // sample rate
  PutLe(out, 48000 * 2 * 2, 4);     // bytes per second
  PutLe(out, 4, 2);                 // block align
  PutLe(out, 16, 2);                // bits per sample
  out.write("data", 4);
  PutLe(out, data_bytes, 4);
  for (float sample : pcm) {
    const float clamped = std::max(-1.0f, std::min(1.0f, sample));
    PutLe(out, static_cast<uint32_t>(static_cast<int16_t>(clamped * 32767.0f)) & 0xFFFF, 2);
  }
  return static_cast<bool>(out);
}

double Peak(const std::vector<float>& pcm) {
  float peak = 0;
  for (float sample : pcm) peak = std::max(peak, sample < 0 ? -sample : sample);
  return peak;
}

}  // namespace receiver::demo
