#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/buffer/bitmap_image_buffer.h"
#include "mediaworkflow/buffer/d3d_texture_image_buffer.h"
#include "mediaworkflow/buffer/mem_h264_sample.h"
#include "mediaworkflow/buffer/pointer_drawing.h"
#include "platform/screen/sim_desktop.h"
#include "platform/screen/sim_screen_system.h"

namespace mediaworkflow::buffer {
namespace {

using platform::screen::PointerShapeInfo;

class TexturePoolTest : public ::testing::Test {
 protected:
  std::shared_ptr<platform::screen::SimDesktop> desktop_ = std::make_shared<platform::screen::SimDesktop>();
  platform::screen::SimScreenSystem device_{desktop_};
  std::shared_ptr<SurfacePool> pool_ = std::make_shared<SurfacePool>();
};

TEST_F(TexturePoolTest, ThirdFrameInFlightCreatesThirdTextureAndAllReturn) {
  std::vector<platform::screen::Surface*> seen;
  {
    D3DTextureImageBuffer a(&device_, 1920, 1080, pool_);
    D3DTextureImageBuffer b(&device_, 1920, 1080, pool_);
    D3DTextureImageBuffer c(&device_, 1920, 1080, pool_);
    seen = {a.texture(), b.texture(), c.texture()};
    for (auto* s : seen) ASSERT_NE(s, nullptr);
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
  }
  EXPECT_EQ(pool_->size_approx(), 3u);
  // Reuse: the next frame of that size gets one of the three back.
  D3DTextureImageBuffer again(&device_, 1920, 1080, pool_);
  EXPECT_NE(std::find(seen.begin(), seen.end(), again.texture()), seen.end());
  EXPECT_EQ(pool_->size_approx(), 2u);
}

TEST_F(TexturePoolTest, OtherSizeIsReleasedAndReplaced) {
  { D3DTextureImageBuffer a(&device_, 64, 32, pool_); }
  D3DTextureImageBuffer b(&device_, 32, 64, pool_);
  ASSERT_NE(b.texture(), nullptr);
  EXPECT_EQ(b.texture()->width(), 32);
  EXPECT_EQ(pool_->size_approx(), 0u);
}

TEST_F(TexturePoolTest, FailedCreateLeavesFrameWithoutPixels) {
  desktop_->FailSurfaceCreations(2);
  D3DTextureImageBuffer tex(&device_, 64, 32, pool_);
  tex.Map();
  EXPECT_EQ(tex.GetData(), nullptr);
  BitmapImageBuffer bmp(&device_, 64, 32, pool_);
  EXPECT_EQ(bmp.GetData(), nullptr);
  EXPECT_EQ(bmp.GetFormat(), 3);
  EXPECT_EQ(tex.GetFormat(), 2);
}

TEST_F(TexturePoolTest, MappedTextureExposesPitchAndPixels) {
  D3DTextureImageBuffer tex(&device_, 10, 4, pool_);
  EXPECT_EQ(tex.GetData(), nullptr);  // not mapped yet
  tex.Map();
  ASSERT_NE(tex.GetData(), nullptr);
  EXPECT_GE(tex.GetStride(), 40);
  int w = 0, h = 0;
  EXPECT_TRUE(tex.GetSize(&w, &h));
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 4);
}

TEST(MemH264SampleTest, CapacityIsCappedAtTwoMiBAndSizeBounded) {
  MemH264Sample big(3 * 1024 * 1024);
  EXPECT_EQ(big.capacity(), 2097152);
  EXPECT_FALSE(big.SetSize(2097153));
  EXPECT_TRUE(big.SetSize(2097152));
  MemH264Sample small(16);
  EXPECT_TRUE(small.SetSize(16));
  uint8_t* data = nullptr;
  int size = 0;
  EXPECT_TRUE(small.GetData(&data, &size));
  EXPECT_EQ(size, 16);
  EXPECT_EQ(data, small.data());
  EXPECT_FALSE(small.HasExtraData());
  EXPECT_EQ(small.GetTimestamp(), 0u);
}

// --- Pointer drawing ---

constexpr uint32_t kGrey = 0xFF808080u;

struct Frame {
  int w, h, stride;
  std::vector<uint8_t> px;
  Frame(int width, int height, uint32_t fill) : w(width), h(height), stride(width * 4 + 8) {
    px.assign(static_cast<size_t>(stride) * h + 64, 0xEE);  // guard bytes past every row
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::memcpy(&px[y * stride + x * 4], &fill, 4);
  }
  uint32_t At(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, &px[y * stride + x * 4], 4);
    return v;
  }
  int CountNot(uint32_t v) const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += At(x, y) != v;
    return n;
  }
  bool GuardsIntact() const {
    for (int y = 0; y < h; ++y)
      for (int b = w * 4; b < stride; ++b)
        if (px[y * stride + b] != 0xEE) return false;
    for (size_t b = static_cast<size_t>(stride) * h; b < px.size(); ++b)
      if (px[b] != 0xEE) return false;
    return true;
  }
};

std::vector<uint8_t> SolidColourShape(int w, int h, uint32_t bgra, PointerShapeInfo* info) {
  *info = PointerShapeInfo{platform::screen::kPointerColor, w, h, w * 4, 0, 0};
  std::vector<uint8_t> bytes(static_cast<size_t>(w) * h * 4);
  for (int i = 0; i < w * h; ++i) std::memcpy(&bytes[i * 4], &bgra, 4);
  return bytes;
}

struct ClipCase {
  const char* name;
  int x, y;          // shape upper-left in the 20x10 frame
  int shape_w, shape_h;
  int drawn;         // pixels changed
};

class PointerClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(PointerClipTest, ClipsOnEverySideAndNeverWritesOutside) {
  const ClipCase& c = GetParam();
  Frame f(20, 10, kGrey);
  PointerShapeInfo info;
  auto bytes = SolidColourShape(c.shape_w, c.shape_h, 0xFF0000FFu, &info);
  DrawPointerShape(f.px.data(), f.w, f.h, f.stride, c.x, c.y, info, bytes.data(), bytes.size());
  EXPECT_EQ(f.CountNot(kGrey), c.drawn);
  EXPECT_TRUE(f.GuardsIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointerClipTest,
    ::testing::Values(ClipCase{"inside", 2, 2, 4, 4, 16},
                      ClipCase{"half_left", -2, 0, 4, 4, 8},
                      ClipCase{"half_top", 0, -3, 4, 4, 4},
                      ClipCase{"left_and_top", -1, -1, 4, 4, 9},
                      ClipCase{"right_edge", 18, 0, 4, 4, 8},
                      ClipCase{"bottom_edge", 0, 8, 4, 4, 8},
                      ClipCase{"wider_than_frame_from_left", -5, 0, 40, 2, 40},
                      ClipCase{"wider_than_remainder", 10, 9, 40, 5, 10},
                      ClipCase{"wholly_left", -4, 0, 4, 4, 0},
                      ClipCase{"wholly_above", 0, -4, 4, 4, 0},
                      ClipCase{"wholly_right", 20, 0, 4, 4, 0},
                      ClipCase{"wholly_below", 0, 10, 4, 4, 0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(PointerDrawingTest, HalfOutsideLeftStartsAtFirstVisibleColumn) {
  Frame f(8, 2, kGrey);
  PointerShapeInfo info{platform::screen::kPointerColor, 4, 1, 16, 0, 0};
  std::vector<uint8_t> bytes(16);
  for (int i = 0; i < 4; ++i) bytes[i * 4] = static_cast<uint8_t>(i + 1), bytes[i * 4 + 3] = 255;
  DrawPointerShape(f.px.data(), f.w, f.h, f.stride, -2, 0, info, bytes.data(), bytes.size());
  EXPECT_EQ(f.At(0, 0), 0xFF000003u);  // shape column 2
  EXPECT_EQ(f.At(1, 0), 0xFF000004u);
  EXPECT_EQ(f.At(2, 0), kGrey);
}

TEST(PointerDrawingTest, MonochromeMasksAndRowCount) {
  // 32 wide, 64 mask rows: 32 drawn rows. AND row 0 all 1 + XOR row all 1 = invert;
  // other rows: AND 0 / XOR 0 = black.
  Frame f(40, 40, 0x7F102030u);
  PointerShapeInfo info{platform::screen::kPointerMonochrome, 32, 64, 4, 0, 0};
  std::vector<uint8_t> bytes(4 * 64, 0);
  std::memset(&bytes[0], 0xFF, 4);        // AND row 0
  std::memset(&bytes[32 * 4], 0xFF, 4);   // XOR row 0
  bytes[32 * 4 + 4] = 0x80;               // XOR row 1, column 0: AND 0 XOR 1 = white
  bytes[1 * 4 + 0] = 0x40;                // AND row 1, column 1: AND 1 XOR 0 = unchanged
  DrawPointerShape(f.px.data(), f.w, f.h, f.stride, 0, 0, info, bytes.data(), bytes.size());
  EXPECT_EQ(f.At(5, 0), 0x7F102030u ^ 0x00FFFFFFu);
  EXPECT_EQ(f.At(0, 1), 0x7FFFFFFFu);
  EXPECT_EQ(f.At(1, 1), 0x7F102030u);
  EXPECT_EQ(f.At(2, 1), 0x7F000000u);
  EXPECT_EQ(f.At(31, 31), 0x7F000000u);  // last drawn row
  EXPECT_EQ(f.At(0, 32), 0x7F102030u);   // row 32 untouched
  EXPECT_EQ(f.At(32, 0), 0x7F102030u);
}

TEST(PointerDrawingTest, ColourBlendSaturatesAndMaskedColourXors) {
  Frame f(3, 1, 0xFFF0F0F0u);
  PointerShapeInfo info{platform::screen::kPointerColor, 3, 1, 12, 0, 0};
  // alpha 0 (unchanged), alpha 128 with components that are not premultiplied (200):
  // 240*127/255 + 200 = 319 -> 255, alpha 255 copies.
  std::vector<uint8_t> bytes = {9, 9, 9, 0, 200, 200, 200, 128, 1, 2, 3, 255};
  DrawPointerShape(f.px.data(), f.w, f.h, f.stride, 0, 0, info, bytes.data(), bytes.size());
  EXPECT_EQ(f.At(0, 0), 0xFFF0F0F0u);
  EXPECT_EQ(f.At(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(f.At(2, 0), 0xFF030201u);

  Frame g(2, 1, 0x00112233u);
  PointerShapeInfo masked{platform::screen::kPointerMaskedColor, 2, 1, 8, 0, 0};
  std::vector<uint8_t> m = {0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0x55, 0x66, 0x00};
  DrawPointerShape(g.px.data(), g.w, g.h, g.stride, 0, 0, masked, m.data(), m.size());
  EXPECT_EQ(g.At(0, 0), (0xFFFFFFFFu ^ 0x00112233u) | 0xFF000000u);
  EXPECT_EQ(g.At(1, 0), 0xFF665544u);
}

TEST(PointerDrawingTest, ShapeBytesShorterThanShapeAreNotRead) {
  Frame f(8, 8, kGrey);
  PointerShapeInfo info{platform::screen::kPointerColor, 4, 4, 16, 0, 0};
  std::vector<uint8_t> bytes(16 * 3, 0xFF);  // one row short
  DrawPointerShape(f.px.data(), f.w, f.h, f.stride, 0, 0, info, bytes.data(), bytes.size());
  EXPECT_EQ(f.CountNot(kGrey), 0);
}

}  // namespace
}  // namespace mediaworkflow::buffer
