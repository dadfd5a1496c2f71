#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/screen/screen_types.h"

namespace platform::input {

// One event for a Linux input device (type, code, value; the kernel stamps the time).
struct TouchInputEvent {
  uint16_t type = 0;
  uint16_t code = 0;
  int32_t value = 0;
};
inline bool operator==(const TouchInputEvent& a, const TouchInputEvent& b) {
  return a.type == b.type && a.code == b.code && a.value == b.value;
}
inline bool operator!=(const TouchInputEvent& a, const TouchInputEvent& b) { return !(a == b); }

// Turns the 65-byte output reports of the virtual touch device into multi-touch
// protocol B events. A report holds up to two 10-byte contacts at offsets 3 and 13
// (status 7 touching or 4 released, id = slot, x, y, w, h; u16 little-endian) and at
// offset 23 the frame's contact count in the first report of a frame (0 in the
// later ones). A frame ends, with BTN_TOUCH, ABS_X/ABS_Y of the lowest touching slot
// and SYN_REPORT, once all of its contacts arrived; a new first report ends a frame
// that was cut short.
//
// A report's x and y span the receiver's picture, while the device spans the root
// window (a display server spreads a direct touch screen over its whole screen, which
// starts at (0,0), holds every monitor and can be larger than they are): with an area
// set, positions are moved into the monitor the picture shows. Each picture pixel goes
// to the middle of its pixel on the root window, so that however the server rounds
// the scaling, a touch on the picture's edge stays on the shared monitor.
class TouchReportTranslator {
 public:
  static constexpr size_t kReportSize = 65;
  static constexpr uint8_t kReportId = 0x40;
  static constexpr int kSlots = 256;
  static constexpr int32_t kMaxCoordinate = 32767;

  // The events for one report; empty for a buffer that is not a touch report.
  std::vector<TouchInputEvent> Translate(const uint8_t* report, size_t size);

  // Picture coordinates land in `monitor` from the next report on. `root` is the root
  // window (the display server's screen) when it is known; without it the smallest
  // root window that holds `desktop`, the union of the monitors. An empty monitor maps
  // the picture onto the whole device, as does ClearArea.
  void SetArea(const screen::Rect& monitor, const screen::Rect& desktop,
               const std::optional<screen::Rect>& root);
  void ClearArea();
  // One axis: `value` over the picture to the device's range, for a monitor `extent`
  // pixels long at `offset` pixels into a root window `root_extent` pixels long.
  static int32_t MapAxis(int32_t value, int offset, int extent, int root_extent);

 private:
  struct Axis {
    int offset = 0;
    int extent = 0;  // 0: no mapping
    int root_extent = 0;
  };
  void EndFrame(std::vector<TouchInputEvent>& out);

  Axis x_axis_;
  Axis y_axis_;

  std::array<int32_t, kSlots> tracking_ids_ = MakeInactive();
  std::array<int32_t, kSlots> x_{};
  std::array<int32_t, kSlots> y_{};
  int32_t next_tracking_id_ = 0;
  size_t remaining_ = 0;  // contacts of the current frame still to come
  bool touching_ = false;
  int32_t last_x_ = -1;
  int32_t last_y_ = -1;

  static std::array<int32_t, kSlots> MakeInactive() {
    std::array<int32_t, kSlots> a{};
    a.fill(-1);
    return a;
  }
};

}  // namespace platform::input
