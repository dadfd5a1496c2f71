#pragma once

#include <cstdint>

#include "platform/screen/screen_types.h"

namespace mediaworkflow::buffer {

// Draws a pointer shape with its upper-left corner at (x, y) into a BGRA frame,
// clipped against every edge of the frame. Shape types: monochrome (AND then XOR
// mask, 1 bit per pixel), colour (premultiplied alpha) and masked colour.
void DrawPointerShape(uint8_t* frame, int frame_width, int frame_height, int frame_stride,
                      int x, int y, const platform::screen::PointerShapeInfo& shape,
                      const uint8_t* shape_bytes, size_t shape_size);

}  // namespace mediaworkflow::buffer
