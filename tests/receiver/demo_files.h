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

// Decodes the H.264 stream file while the video side writes it: ffmpeg reads what the
// file has gained at each Feed, so that the stop waits only for the decode of the last
// moments, whatever the run's length. The picture kept is that of the stream's last
// second (one a second is written, not one a frame). Not thread-safe: one thread feeds.
class StreamFollower {
 public:
  StreamFollower(std::string h264_path, std::string png_path, std::string log_path);
  // Ends ffmpeg's input and waits for it, when Finish did not.
  ~StreamFollower();
  StreamFollower(const StreamFollower&) = delete;
  StreamFollower& operator=(const StreamFollower&) = delete;

  // Hands ffmpeg what the file gained since the last call, as much as its input takes
  // now; starts ffmpeg with the first bytes. Never blocks.
  void Feed();
  // Hands over the rest of the (complete) file, ends ffmpeg's input and waits for the
  // decode; then counts the frames and reads the size.
  DecodedStream Finish();

 private:
  bool Launch();
  void Close();

  const std::string h264_path_;
  const std::string png_path_;
  const std::string log_path_;
  const std::string progress_path_;
  std::string error_;  // once set, nothing more is fed
  int file_ = -1;
  int input_ = -1;  // ffmpeg's standard input
  int pid_ = -1;
  long long offset_ = 0;  // bytes of the file handed over
};

// 48 kHz stereo float samples as a 16-bit PCM wave file.
bool WriteWave(const std::string& path, const std::vector<float>& pcm);

// The largest magnitude of the samples.
double Peak(const std::vector<float>& pcm);

}  // namespace receiver::demo
