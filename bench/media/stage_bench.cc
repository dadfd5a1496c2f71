// Cost of each hot-path step at 1080p: libyuv colour conversion and scaling, x264
// encode in both presets, and the one capture copy.
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include "mediaworkflow/encoder/x264_impl.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/surface.h"

namespace {

class Image : public mediaworkflow::buffer::ImageBuffer {
 public:
  Image(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4) {
    platform::screen::SimDesktop d;
    d.SetMonitors({platform::screen::Monitor{platform::screen::Rect{0, 0, w, h}, true, "B"}});
    d.ReadPixels(platform::screen::Rect{0, 0, w, h}, px_.data(), w * 4);
  }
  bool GetSize(int* w, int* h) override { *w = w_; *h = h_; return true; }
  int GetFormat() override { return 3; }
  int GetStride() override { return w_ * 4; }
  uint8_t* GetData() override { return px_.data(); }
  // Repaints an 8-row band that moves down each frame.
  void Touch(int i) {
    std::memset(px_.data() + static_cast<size_t>(i % (h_ - 8)) * w_ * 4, i & 0xFF, static_cast<size_t>(w_) * 4 * 8);
  }
 private:
  int w_, h_;
  std::vector<uint8_t> px_;
};

void BM_CaptureCopy1080p(benchmark::State& state) {
  std::vector<uint8_t> src(1920 * 1080 * 4, 7);
  auto dst = platform::screen::Surface::Create(1920, 1080);
  for (auto _ : state) {
    libyuv::ARGBCopy(src.data(), 1920 * 4, dst->data(), dst->stride(), 1920, 1080);
    benchmark::DoNotOptimize(dst->data());
  }
}
BENCHMARK(BM_CaptureCopy1080p)->Unit(benchmark::kMillisecond);

void BM_ARGBToNV12_1080p(benchmark::State& state) {
  Image img(1920, 1080);
  std::vector<uint8_t> y(1920 * 1080), uv(1920 * 540);
  for (auto _ : state) {
    libyuv::ARGBToNV12(img.GetData(), img.GetStride(), y.data(), 1920, uv.data(), 1920, 1920, 1080);
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_ARGBToNV12_1080p)->Unit(benchmark::kMillisecond);

void BM_ARGBScaleBox_1440pTo1080p(benchmark::State& state) {
  Image img(2560, 1440);
  std::vector<uint8_t> out(1920 * 1080 * 4);
  for (auto _ : state) {
    libyuv::ARGBScale(img.GetData(), img.GetStride(), 2560, 1440, out.data(), 1920 * 4, 1920, 1080,
                      libyuv::kFilterBox);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ARGBScaleBox_1440pTo1080p)->Unit(benchmark::kMillisecond);

void BM_X264Encode1080p(benchmark::State& state) {
  const bool quality = state.range(0) != 0;
  auto img = std::make_shared<Image>(1920, 1080);
  mediaworkflow::encoder::X264Impl x264;
  x264.SetQualityMode(quality);
  size_t bytes = 0;
  x264.SetOutputCallback([&](std::shared_ptr<mediaworkflow::buffer::H264Sample> s) {
    uint8_t* d = nullptr;
    int n = 0;
    s->GetData(&d, &n);
    bytes += static_cast<size_t>(n);
  });
  x264.Init(1920, 1080, 1920, 1080, 30, 0);
  int i = 0;
  for (auto _ : state) {
    img->Touch(i++);  // a changing band, as a moving window would make
    x264.Encode(img, false);
  }
  state.counters["bytes/frame"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_X264Encode1080p)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
