#include "platform/audio/pulse_diversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace platform::audio {

namespace {

constexpr size_t kTokenLength = 16;
// Longer than any sink name the server accepts.
constexpr size_t kMaxRecord = 512;

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

VolumeSync DecideVolumeSync(pa_volume_t stand_in, pa_volume_t output, pa_volume_t synced) {
  if (stand_in != synced) return stand_in == output ? VolumeSync::kNone : VolumeSync::kStandInToOutput;
  if (output != synced) return VolumeSync::kOutputToStandIn;
  return VolumeSync::kNone;
}

float StandInMonitorGain(pa_volume_t stand_in) {
  const double linear = pa_sw_volume_to_linear(stand_in);
  if (linear <= 0.0) return 0.0f;
  return static_cast<float>(1.0 / linear);
}

std::string DiversionRecord::NewToken() {
  static const char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string token;
  for (size_t i = 0; i < kTokenLength; ++i) token += kHex[random() % 16];
  return token;
}

bool DiversionRecord::ValidToken(const std::string& token) {
  if (token.size() != kTokenLength) return false;
  for (char c : token) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string DiversionRecord::Folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && IsFolder(runtime)) return runtime;
  const char* home = std::getenv("HOME");
  if (home == nullptr || !IsFolder(home)) return std::string();
  const std::string cache = std::string(home) + "/.cache";
  mkdir(cache.c_str(), 0700);
  const std::string folder = cache + "/castora";
  mkdir(folder.c_str(), 0700);
  struct stat st;
  // Ours alone: the file says where the user's sound goes back to.
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return std::string();
  return folder;
}

std::string DiversionRecord::Path(const std::string& token) {
  const std::string folder = Folder();
  if (folder.empty() || !ValidToken(token)) return std::string();
  return folder + "/castora-diverted-" + token;
}

bool DiversionRecord::Write(const std::string& token, const std::string& output) {
  const std::string path = Path(token);
  if (path.empty() || output.empty() || output.size() >= kMaxRecord) return false;
  const std::string aside = path + ".new";
  unlink(aside.c_str());
  const int fd = open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string line = output + "\n";
  const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(aside.c_str(), path.c_str()) != 0) {
    unlink(aside.c_str());
    return false;
  }
  return true;
}

bool DiversionRecord::Read(const std::string& token, std::string* output) {
  const std::string path = Path(token);
  if (path.empty()) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[kMaxRecord];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  close(fd);
  if (n <= 0) return false;
  std::string line(buffer, static_cast<size_t>(n));
  const size_t end = line.find('\n');
  if (end == std::string::npos) return false;  // cut short: not a record
  line.resize(end);
  if (line.empty()) return false;
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  *output = line;
  return true;
}

void DiversionRecord::Remove(const std::string& token) {
  const std::string path = Path(token);
  if (!path.empty()) unlink(path.c_str());
}

}  // namespace platform::audio
