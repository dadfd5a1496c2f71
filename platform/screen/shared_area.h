#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "platform/screen/screen_types.h"

namespace platform::screen {

// The part of the desktop that the receiver's picture shows: the rectangle of the
// monitor being captured, and the desktop it lies in (the bounds of all monitors). The
// capture publishes it whenever it selects a monitor and withdraws it when it lets go;
// the input back-ends map the picture's coordinates into it, so that a touch lands
// where the picture shows it. An absolute pointer or touch screen spans the display
// server's root window, not these bounds: the root starts at (0,0) and may be larger
// than the monitors, whose rectangles are in its coordinates.
// This is where the video side hands the shared monitor to the input side without
// either knowing the other. One for the process; every member is guarded.
class SharedArea {
 public:
  struct Area {
    Rect monitor;
    Rect desktop;
  };

  static SharedArea& Instance();

  // `owner` is the capture that publishes: a withdrawal by any other leaves the area
  // alone, so an old capture that ends after a new one started cannot clear it.
  void Publish(const void* owner, const Area& area);
  void Withdraw(const void* owner);
  // Nothing while no capture runs.
  std::optional<Area> Current() const;

  // The smallest rectangle holding every monitor; empty for none.
  static Rect Bounds(const std::vector<Monitor>& monitors);

 private:
  mutable std::mutex mutex_;
  const void* owner_ = nullptr;
  std::optional<Area> area_;
};

}  // namespace platform::screen
