#include "tests/receiver/demo_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

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

DecodedStream DecodeStream(const std::string& h264_path, const std::string& png_path) {
  DecodedStream result;
  if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) {
    result.error = "ffmpeg/ffprobe not found (install the ffmpeg package); the stream is left undecoded";
    return result;
  }
  const auto probe = Capture("ffprobe -v error -f h264 -count_frames -select_streams v:0 "
                             "-show_entries stream=nb_read_frames,width,height -of default=nw=1 " +
                             ShellQuoted(h264_path) + " 2>/dev/null");
  if (!probe) {
    result.error = "ffprobe could not read the stream";
    return result;
  }
  auto value_of = [&](const char* key) -> long {
    const std::string needle = std::string(key) + "=";
    const auto at = probe->find(needle);
    if (at == std::string::npos) return 0;
    return std::strtol(probe->c_str() + at + needle.size(), nullptr, 10);
  };
  result.frames = value_of("nb_read_frames");
  result.width = static_cast<int>(value_of("width"));
  result.height = static_cast<int>(value_of("height"));
  if (result.frames <= 0) {
    result.error = "no frame of the stream decodes";
    return result;
  }
  // Only the last frame is converted: the select filter drops the others after decoding.
  const std::string select = "select=eq(n\\," + std::to_string(result.frames - 1) + ")";
  const auto wrote = Capture("ffmpeg -v error -y -f h264 -i " + ShellQuoted(h264_path) + " -vf " +
                             ShellQuoted(select) + " -frames:v 1 " + ShellQuoted(png_path) +
                             " 2>&1");
  if (!wrote) {
    result.error = "ffmpeg could not write the last frame";
    return result;
  }
  result.png = png_path;
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
