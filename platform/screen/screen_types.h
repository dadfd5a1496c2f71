#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::screen {

// A rectangle in virtual-desktop coordinates (the union of all monitors).
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

struct Monitor {
  Rect rect;
  bool primary = false;
  std::string name;
};

// Outcome of waiting for the next desktop image on the duplication path.
enum class AcquireResult {
  kNewFrame,       // a new image is ready; CopyFrame and ReleaseFrame follow
  kTimeout,        // nothing changed within the time-out
  kAccessLost,     // the duplication is gone (display mode change); make a new one
  kInvalidCall,    // the duplication is in a bad state; make a new one
  kDeviceRemoved,  // the graphics device went away
  kError,          // anything else
};

const char* ToString(AcquireResult result);

// Pointer shape kinds, numbered as the duplication interface reports them.
enum PointerShapeType : int {
  kPointerMonochrome = 1,   // AND mask rows followed by XOR mask rows, 1 bit per pixel
  kPointerColor = 2,        // 32-bit BGRA, premultiplied alpha
  kPointerMaskedColor = 4,  // 32-bit; a nonzero top byte means XOR with the screen
};

struct PointerShapeInfo {
  int type = kPointerColor;
  int width = 0;
  int height = 0;  // for monochrome: twice the drawn height (both masks)
  int pitch = 0;   // bytes per shape row
  int hot_x = 0;
  int hot_y = 0;
};

// What the duplication path reports with each new image.
struct FrameInfo {
  int width = 0;
  int height = 0;
  bool pointer_updated = false;  // position and visibility below are valid
  int pointer_x = 0;             // upper-left of the shape, monitor coordinates
  int pointer_y = 0;
  bool pointer_visible = false;
  size_t pointer_shape_size = 0;  // nonzero when the shape changed: GetFramePointerShape
};

// The blit path's cursor: position in virtual-desktop coordinates, BGRA premultiplied.
struct CursorImage {
  bool visible = false;
  int x = 0;
  int y = 0;
  int hot_x = 0;
  int hot_y = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

}  // namespace platform::screen
