#pragma once

#include "platform/screen/screen_types.h"
#include "platform/screen/surface.h"

namespace platform::screen {

// The "blit" path: copy a rectangle of the desktop now, and read the current cursor.
// Used from one thread only.
class ScreenBlitter {
 public:
  virtual ~ScreenBlitter() = default;

  // Copies `source` (virtual-desktop coordinates, the size of `dst`) into `dst`.
  virtual bool Blit(const Rect& source, Surface* dst) = 0;
  virtual CursorImage GetCursor() = 0;
};

}  // namespace platform::screen
