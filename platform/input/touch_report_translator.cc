#include "platform/input/touch_report_translator.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace platform::input {

namespace {
constexpr size_t kContactOffsets[2] = {3, 13};
constexpr size_t kCountOffset = 23;
constexpr uint8_t kStatusTouching = 7;
constexpr uint8_t kStatusReleased = 4;

int32_t ReadLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }
}  // namespace

std::vector<TouchInputEvent> TouchReportTranslator::Translate(const uint8_t* report, size_t size) {
  std::vector<TouchInputEvent> out;
  if (report == nullptr || size != kReportSize || report[0] != kReportId) return out;

  const uint8_t count = report[kCountOffset];
  if (count > 0) {
    if (remaining_ > 0) EndFrame(out);  // the rest of the last frame never came
    remaining_ = count;
  }
  size_t in_report;
  if (remaining_ > 0) {
    in_report = std::min<size_t>(2, remaining_);
  } else {
    // A report outside any frame: take what it holds and end it as a frame of its own.
    in_report = 0;
    for (size_t offset : kContactOffsets) in_report += report[offset] != 0 ? 1 : 0;
  }

  for (size_t i = 0; i < in_report; ++i) {
    const uint8_t* contact = report + kContactOffsets[i];
    const uint8_t status = contact[0];
    const int slot = contact[1];
    if (status == kStatusTouching) {
      out.push_back({EV_ABS, ABS_MT_SLOT, slot});
      if (tracking_ids_[slot] < 0) {
        tracking_ids_[slot] = next_tracking_id_;
        next_tracking_id_ = (next_tracking_id_ + 1) & 0xFFFF;
        out.push_back({EV_ABS, ABS_MT_TRACKING_ID, tracking_ids_[slot]});
      }
      x_[slot] = MapAxis(std::min(ReadLe16(contact + 2), kMaxCoordinate), x_axis_.offset,
                         x_axis_.extent, x_axis_.root_extent);
      y_[slot] = MapAxis(std::min(ReadLe16(contact + 4), kMaxCoordinate), y_axis_.offset,
                         y_axis_.extent, y_axis_.root_extent);
      out.push_back({EV_ABS, ABS_MT_POSITION_X, x_[slot]});
      out.push_back({EV_ABS, ABS_MT_POSITION_Y, y_[slot]});
    } else if (status == kStatusReleased && tracking_ids_[slot] >= 0) {
      out.push_back({EV_ABS, ABS_MT_SLOT, slot});
      out.push_back({EV_ABS, ABS_MT_TRACKING_ID, -1});
      tracking_ids_[slot] = -1;
    }
  }
  remaining_ -= std::min(remaining_, in_report);
  if (remaining_ == 0) EndFrame(out);
  return out;
}

void TouchReportTranslator::SetArea(const screen::Rect& monitor, const screen::Rect& desktop,
                                    const std::optional<screen::Rect>& root) {
  // A root window starts at (0,0); without the server's word, the one that just holds
  // every monitor.
  const screen::Rect span =
      root ? *root
           : screen::Rect{0, 0, desktop.left + desktop.width, desktop.top + desktop.height};
  if (monitor.width <= 0 || monitor.height <= 0 || span.width <= 0 || span.height <= 0) {
    ClearArea();
    return;
  }
  x_axis_ = {monitor.left - span.left, monitor.width, span.width};
  y_axis_ = {monitor.top - span.top, monitor.height, span.height};
}

void TouchReportTranslator::ClearArea() {
  x_axis_ = Axis{};
  y_axis_ = Axis{};
}

int32_t TouchReportTranslator::MapAxis(int32_t value, int offset, int extent, int root_extent) {
  if (extent <= 0 || root_extent <= 0) return value;
  // The picture and the device both count kMaxCoordinate + 1 units to the whole.
  const int64_t units = int64_t{kMaxCoordinate} + 1;
  const int64_t picture = std::clamp<int64_t>(value, 0, kMaxCoordinate);
  const int64_t on_monitor = std::min<int64_t>(picture * extent / units, extent - 1);
  const int64_t pixel = std::clamp<int64_t>(offset + on_monitor, 0, root_extent - 1);
  // The middle of that pixel: a server that scales by 32768 or by 32767 units, and
  // rounds either way, finds the same pixel.
  const int64_t mapped = (2 * pixel + 1) * units / (2 * int64_t{root_extent});
  return static_cast<int32_t>(std::clamp<int64_t>(mapped, 0, kMaxCoordinate));
}

void TouchReportTranslator::EndFrame(std::vector<TouchInputEvent>& out) {
  remaining_ = 0;
  int lowest = -1;
  for (int slot = 0; slot < kSlots && lowest < 0; ++slot)
    if (tracking_ids_[slot] >= 0) lowest = slot;
  const bool touching = lowest >= 0;
  if (touching != touching_) {
    out.push_back({EV_KEY, BTN_TOUCH, touching ? 1 : 0});
    touching_ = touching;
  }
  if (touching) {
    // The single-touch axes follow the lowest touching slot, for readers that only
    // know one pointer.
    if (x_[lowest] != last_x_) out.push_back({EV_ABS, ABS_X, last_x_ = x_[lowest]});
    if (y_[lowest] != last_y_) out.push_back({EV_ABS, ABS_Y, last_y_ = y_[lowest]});
  }
  out.push_back({EV_SYN, SYN_REPORT, 0});
}

}  // namespace platform::input
