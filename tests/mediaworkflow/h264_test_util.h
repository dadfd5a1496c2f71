#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediaworkflow::testing_util {

// Full path of a program on PATH, empty when absent.
std::string FindTool(const std::string& name);

struct DecodedStream {
  int width = 0;
  int height = 0;
  int frames = 0;
  std::vector<uint8_t> last_frame_bgra;  // width * height * 4, tightly packed
};

// Decodes an Annex B H.264 stream with the standard decoder (ffprobe + ffmpeg).
// False with `error` set when the tools are missing or the stream does not decode.
bool DecodeH264(const std::vector<uint8_t>& annexb, DecodedStream* out, std::string* error);

// nal_unit_type of every NAL unit in an Annex B buffer.
std::vector<int> NalTypes(const uint8_t* data, size_t size);
bool HasIdr(const std::vector<uint8_t>& access_unit);

// Mean absolute difference of the B, G and R bytes of two BGRA images of equal size.
double MeanAbsDiff(const uint8_t* a, int a_stride, const uint8_t* b, int b_stride, int width,
                   int height);

}  // namespace mediaworkflow::testing_util
