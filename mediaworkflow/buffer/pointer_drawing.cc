#include "mediaworkflow/buffer/pointer_drawing.h"

#include <algorithm>
#include <cstring>

namespace mediaworkflow::buffer {

namespace {

struct Span {
  int skip;   // shape columns/rows left out before the first drawn one
  int start;  // first frame column/row drawn
  int count;  // columns/rows drawn
};

// Clips a shape extent [pos, pos + extent) against [0, limit) on both ends.
Span Clip(int pos, int extent, int limit) {
  Span s{0, pos, extent};
  if (pos < 0) {
    s.skip = -pos;
    s.start = 0;
    s.count = extent + pos;
  }
  s.count = std::min(s.count, limit - s.start);
  return s;
}

}  // namespace

void DrawPointerShape(uint8_t* frame, int frame_width, int frame_height, int frame_stride, int x,
                      int y, const platform::screen::PointerShapeInfo& shape,
                      const uint8_t* shape_bytes, size_t shape_size) {
  using namespace platform::screen;
  if (frame == nullptr || shape_bytes == nullptr || shape.width <= 0 || shape.pitch <= 0) return;
  const bool mono = shape.type == kPointerMonochrome;
  const int h = mono ? shape.height / 2 : shape.height;
  if (h <= 0) return;
  // Never read past the shape bytes the source gave us.
  const size_t rows_needed = static_cast<size_t>(mono ? 2 * h : h);
  if (static_cast<size_t>(shape.pitch) * rows_needed > shape_size) return;
  if (!mono && static_cast<size_t>(shape.width) * 4 > static_cast<size_t>(shape.pitch)) return;
  if (mono && static_cast<size_t>((shape.width + 7) / 8) > static_cast<size_t>(shape.pitch)) return;

  const Span cols = Clip(x, shape.width, frame_width);
  const Span rows = Clip(y, h, frame_height);
  if (cols.count <= 0 || rows.count <= 0) return;

  for (int r = 0; r < rows.count; ++r) {
    const int sr = rows.skip + r;
    uint8_t* dst_row = frame + static_cast<size_t>(rows.start + r) * frame_stride +
                       static_cast<size_t>(cols.start) * 4;
    for (int c = 0; c < cols.count; ++c) {
      const int sc = cols.skip + c;
      uint8_t* px = dst_row + static_cast<size_t>(c) * 4;
      uint32_t pixel;
      std::memcpy(&pixel, px, 4);
      if (mono) {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (sc % 8));
        const bool and_bit = (shape_bytes[static_cast<size_t>(sr) * shape.pitch + sc / 8] & mask) != 0;
        const bool xor_bit =
            (shape_bytes[static_cast<size_t>(sr + h) * shape.pitch + sc / 8] & mask) != 0;
        if (!and_bit && !xor_bit) pixel &= 0xFF000000u;
        else if (!and_bit && xor_bit) pixel |= 0x00FFFFFFu;
        else if (and_bit && xor_bit) pixel ^= 0x00FFFFFFu;
        std::memcpy(px, &pixel, 4);
        continue;
      }
      const uint8_t* sp = shape_bytes + static_cast<size_t>(sr) * shape.pitch + static_cast<size_t>(sc) * 4;
      uint32_t s;
      std::memcpy(&s, sp, 4);
      if (shape.type == kPointerMaskedColor) {
        pixel = (s & 0xFF000000u) != 0 ? ((s ^ pixel) | 0xFF000000u) : (s | 0xFF000000u);
        std::memcpy(px, &pixel, 4);
      } else {
        const int a = sp[3];
        if (a == 0) continue;
        if (a == 255) {
          std::memcpy(px, sp, 4);
          continue;
        }
        // Premultiplied "over": the shape component is already scaled by its alpha.
        // A shape that is not truly premultiplied must not wrap: saturate at 255.
        for (int k = 0; k < 3; ++k) {
          int v = static_cast<int>(px[k] * (255 - a) / 255.0) + sp[k];
          px[k] = static_cast<uint8_t>(std::min(v, 255));
        }
      }
    }
  }
}

}  // namespace mediaworkflow::buffer
