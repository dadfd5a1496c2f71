#pragma once

#include <string>
#include <vector>

namespace receiver::demo {

// What ffmpeg makes of the received stream.
struct DecodedStream {
  std::string error;  // empty on success
  long frames = 0;
  int width = 0;
  int height = 0;
  std::string png;  // the last frame
};

// Counts the frames of the H.264 stream file and writes its last one as a PNG, with the
// ffmpeg programs where they are installed.
DecodedStream DecodeStream(const std::string& h264_path, const std::string& png_path);

// 48 kHz stereo float samples as a 16-bit PCM wave file.
bool WriteWave(const std::string& path, const std::vector<float>& pcm);

// The largest magnitude of the samples.
double Peak(const std::vector<float>& pcm);

}  // namespace receiver::demo
