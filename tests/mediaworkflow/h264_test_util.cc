#include "tests/mediaworkflow/h264_test_util.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

namespace mediaworkflow::testing_util {

std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool DecodeH264(const std::vector<uint8_t>& annexb, DecodedStream* out, std::string* error) {
  const std::string ffprobe = FindTool("ffprobe"), ffmpeg = FindTool("ffmpeg");
  if (ffprobe.empty() || ffmpeg.empty()) {
    *error = "ffmpeg/ffprobe not found";
    return false;
  }
  static int counter = 0;
  const std::string base = ::testing::TempDir() + "castora_h264_" + std::to_string(::getpid()) +
                           "_" + std::to_string(counter++);
  const std::string in = base + ".h264", raw = base + ".bgra";
  {
    std::ofstream f(in, std::ios::binary);
    f.write(reinterpret_cast<const char*>(annexb.data()), static_cast<std::streamsize>(annexb.size()));
  }
  const std::string probe = ffprobe + " -v error -f h264 -select_streams v:0 -count_frames "
                            "-show_entries stream=width,height,nb_read_frames -of csv=p=0 " + in;
  FILE* p = ::popen(probe.c_str(), "r");
  if (p == nullptr) {
    *error = "cannot run ffprobe";
    return false;
  }
  char line[256] = {0};
  const bool got = std::fgets(line, sizeof(line), p) != nullptr;
  ::pclose(p);
  if (!got || std::sscanf(line, "%d,%d,%d", &out->width, &out->height, &out->frames) != 3) {
    *error = std::string("ffprobe could not read the stream: ") + line;
    return false;
  }
  const std::string decode = ffmpeg + " -v error -y -f h264 -i " + in +
                             " -f rawvideo -pix_fmt bgra " + raw;
  if (std::system(decode.c_str()) != 0) {
    *error = "ffmpeg failed to decode";
    return false;
  }
  std::ifstream r(raw, std::ios::binary);
  std::vector<uint8_t> all((std::istreambuf_iterator<char>(r)), std::istreambuf_iterator<char>());
  const size_t frame = static_cast<size_t>(out->width) * out->height * 4;
  if (frame == 0 || all.size() < frame) {
    *error = "no decoded pixels";
    return false;
  }
  out->last_frame_bgra.assign(all.end() - static_cast<std::ptrdiff_t>(frame), all.end());
  std::remove(in.c_str());
  std::remove(raw.c_str());
  return true;
}

std::vector<int> NalTypes(const uint8_t* data, size_t size) {
  std::vector<int> types;
  for (size_t i = 0; i + 3 < size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      types.push_back(data[i + 3] & 0x1F);
      i += 3;
    }
  }
  return types;
}

bool HasIdr(const std::vector<uint8_t>& au) {
  for (int t : NalTypes(au.data(), au.size()))
    if (t == 5) return true;
  return false;
}

double MeanAbsDiff(const uint8_t* a, int a_stride, const uint8_t* b, int b_stride, int width,
                   int height) {
  double sum = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        sum += std::abs(int(a[y * a_stride + x * 4 + c]) - int(b[y * b_stride + x * 4 + c]));
  return sum / (3.0 * width * height);
}

}  // namespace mediaworkflow::testing_util
