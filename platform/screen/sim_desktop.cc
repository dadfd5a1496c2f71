#include "platform/screen/sim_desktop.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include <libyuv/planar_functions.h>

namespace platform::screen {

namespace {

std::mutex g_shared_mutex;
std::shared_ptr<SimDesktop> g_shared;

// A 12x19 arrow, white with a black outline, as premultiplied BGRA.
void DefaultArrow(PointerShapeInfo* info, std::vector<uint8_t>* bytes) {
  static const char* const kRows[] = {
      "X...........", "XX..........", "XoX.........", "XooX........", "XoooX.......",
      "XooooX......", "XoooooX.....", "XooooooX....", "XoooooooX...", "XooooooooX..",
      "XoooooooooX.", "XooooooXXXXX", "XoooXooX....", "XooXXooX....", "XoX..XooX...",
      "XX...XooX...", "X.....XooX..", "......XooX..", ".......XX...",
  };
  info->type = kPointerColor;
  info->width = 12;
  info->height = 19;
  info->pitch = 12 * 4;
  info->hot_x = 0;
  info->hot_y = 0;
  bytes->assign(static_cast<size_t>(info->pitch) * info->height, 0);
  for (int y = 0; y < info->height; ++y) {
    for (int x = 0; x < info->width; ++x) {
      uint8_t* p = bytes->data() + y * info->pitch + x * 4;
      char c = kRows[y][x];
      if (c == 'X') { p[0] = p[1] = p[2] = 0; p[3] = 255; }
      if (c == 'o') { p[0] = p[1] = p[2] = 255; p[3] = 255; }
    }
  }
}

Rect Intersect(const Rect& a, const Rect& b) {
  int l = std::max(a.left, b.left), t = std::max(a.top, b.top);
  int r = std::min(a.left + a.width, b.left + b.width);
  int btm = std::min(a.top + a.height, b.top + b.height);
  if (r <= l || btm <= t) return Rect{};
  return Rect{l, t, r - l, btm - t};
}

int Bounce(uint64_t step, int speed, int range) {
  if (range <= 0) return 0;
  uint64_t period = 2 * static_cast<uint64_t>(range);
  int v = static_cast<int>((step * static_cast<uint64_t>(speed)) % period);
  return v < range ? v : static_cast<int>(period) - v;
}

}  // namespace

std::shared_ptr<SimDesktop> SimDesktop::Shared() {
  std::lock_guard<std::mutex> lock(g_shared_mutex);
  if (!g_shared) g_shared = std::make_shared<SimDesktop>();
  return g_shared;
}

void SimDesktop::ResetShared() {
  std::lock_guard<std::mutex> lock(g_shared_mutex);
  g_shared = std::make_shared<SimDesktop>();
}

SimDesktop::SimDesktop() {
  DefaultArrow(&shape_info_, &shape_);
  monitors_ = {Monitor{Rect{0, 0, 640, 360}, true, "SIM-0"}};
  pointer_x_ = 100;
  pointer_y_ = 100;
  RenderLocked();
}

void SimDesktop::SetMonitors(const std::vector<Monitor>& monitors) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    monitors_ = monitors;
    ++generation_;
    RenderLocked();
  }
  damaged_.notify_all();
}

std::vector<Monitor> SimDesktop::GetMonitors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return monitors_;
}

Rect SimDesktop::VirtualRect() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return virtual_;
}

void SimDesktop::SetAnimated(bool animated) {
  std::lock_guard<std::mutex> lock(mutex_);
  animated_ = animated;
}

void SimDesktop::SetScrolling(bool scrolling) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scrolling_ = scrolling;
    RenderLocked();
  }
  damaged_.notify_all();
}

void SimDesktop::Advance() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    StepLocked();
  }
  damaged_.notify_all();
}

void SimDesktop::FillRect(const Rect& rect, uint32_t bgra) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Rect r = Intersect(rect, virtual_);
    if (r.width > 0) {
      libyuv::ARGBRect(frame_.data(), virtual_.width * 4, r.left - virtual_.left,
                       r.top - virtual_.top, r.width, r.height, bgra);
      ++damage_;
    }
  }
  damaged_.notify_all();
}

void SimDesktop::ReadPixels(const Rect& rect, uint8_t* dst, int dst_stride) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Rect r = Intersect(rect, virtual_);
  if (r.width != rect.width || r.height != rect.height) return;
  const uint8_t* src = frame_.data() + static_cast<size_t>(r.top - virtual_.top) * virtual_.width * 4 +
                       static_cast<size_t>(r.left - virtual_.left) * 4;
  libyuv::ARGBCopy(src, virtual_.width * 4, dst, dst_stride, r.width, r.height);
}

void SimDesktop::SetPointer(int x, int y, bool visible) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pointer_x_ = x;
    pointer_y_ = y;
    pointer_visible_ = visible;
    ++pointer_serial_;
    ++damage_;
  }
  damaged_.notify_all();
}

void SimDesktop::SetPointerShape(const PointerShapeInfo& info, const std::vector<uint8_t>& bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shape_info_ = info;
    shape_ = bytes;
    ++shape_serial_;
    ++damage_;
  }
  damaged_.notify_all();
}

void SimDesktop::SetDuplicationAvailable(bool available) {
  std::lock_guard<std::mutex> lock(mutex_);
  duplication_available_ = available;
}

void SimDesktop::SetBlitAvailable(bool available) {
  std::lock_guard<std::mutex> lock(mutex_);
  blit_available_ = available;
}

void SimDesktop::InjectAcquireResults(const std::vector<AcquireResult>& results) {
  std::lock_guard<std::mutex> lock(mutex_);
  injected_.insert(injected_.end(), results.begin(), results.end());
}

void SimDesktop::FailSurfaceCreations(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  surface_failures_ = count;
}

int SimDesktop::DuplicationsCreated() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return duplications_created_;
}

int SimDesktop::Acquires() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return acquires_;
}

int SimDesktop::Blits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return blits_;
}

bool SimDesktop::DuplicationAvailable() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return duplication_available_;
}

bool SimDesktop::BlitAvailable() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return blit_available_;
}

uint64_t SimDesktop::Generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

bool SimDesktop::TakeDisplayChange(uint64_t* seen_generation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (*seen_generation == generation_) return false;
  *seen_generation = generation_;
  return true;
}

void SimDesktop::NoteDuplicationCreated() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++duplications_created_;
}

bool SimDesktop::TakeSurfaceFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (surface_failures_ <= 0) return false;
  --surface_failures_;
  return true;
}

AcquireResult SimDesktop::WaitForFrame(int monitor_index, uint64_t generation, int timeout_ms,
                                       Seen* seen, FrameInfo* info) {
  std::unique_lock<std::mutex> lock(mutex_);
  ++acquires_;
  if (!injected_.empty()) {
    AcquireResult r = injected_.front();
    injected_.pop_front();
    if (r != AcquireResult::kNewFrame) {
      // A timeout still takes its time, so a caller's pacing is exercised as on a desktop.
      if (r == AcquireResult::kTimeout) {
        damaged_.wait_for(lock, std::chrono::milliseconds(timeout_ms));
      }
      return r;
    }
  }
  if (generation != generation_) return AcquireResult::kAccessLost;
  if (monitor_index < 0 || monitor_index >= static_cast<int>(monitors_.size())) {
    return AcquireResult::kInvalidCall;
  }
  if (animated_) StepLocked();
  if (!damaged_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [&] { return damage_ != seen->damage || generation != generation_; })) {
    return AcquireResult::kTimeout;
  }
  if (generation != generation_) return AcquireResult::kAccessLost;
  seen->damage = damage_;
  const Monitor& m = monitors_[monitor_index];
  *info = FrameInfo{};
  info->width = m.rect.width;
  info->height = m.rect.height;
  if (seen->pointer != pointer_serial_) {
    seen->pointer = pointer_serial_;
    info->pointer_updated = true;
    info->pointer_x = pointer_x_ - shape_info_.hot_x - m.rect.left;
    info->pointer_y = pointer_y_ - shape_info_.hot_y - m.rect.top;
    info->pointer_visible = pointer_visible_;
  }
  if (seen->shape != shape_serial_) {
    seen->shape = shape_serial_;
    info->pointer_shape_size = shape_.size();
  }
  return AcquireResult::kNewFrame;
}

bool SimDesktop::CopyMonitor(int monitor_index, uint64_t generation, Surface* dst) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (generation != generation_ || monitor_index < 0 ||
      monitor_index >= static_cast<int>(monitors_.size())) {
    return false;
  }
  const Rect& r = monitors_[monitor_index].rect;
  if (dst->width() != r.width || dst->height() != r.height) return false;
  const uint8_t* src = frame_.data() + static_cast<size_t>(r.top - virtual_.top) * virtual_.width * 4 +
                       static_cast<size_t>(r.left - virtual_.left) * 4;
  libyuv::ARGBCopy(src, virtual_.width * 4, dst->data(), dst->stride(), r.width, r.height);
  FrameCopyCounter().fetch_add(1, std::memory_order_relaxed);
  return true;
}

void SimDesktop::GetPointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) const {
  std::lock_guard<std::mutex> lock(mutex_);
  *bytes = shape_;
  *info = shape_info_;
}

bool SimDesktop::BlitRect(const Rect& rect, Surface* dst) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++blits_;
  if (animated_) StepLocked();
  Rect r = Intersect(rect, virtual_);
  if (!(r == rect) || dst->width() != rect.width || dst->height() != rect.height) return false;
  const uint8_t* src = frame_.data() + static_cast<size_t>(r.top - virtual_.top) * virtual_.width * 4 +
                       static_cast<size_t>(r.left - virtual_.left) * 4;
  libyuv::ARGBCopy(src, virtual_.width * 4, dst->data(), dst->stride(), r.width, r.height);
  FrameCopyCounter().fetch_add(1, std::memory_order_relaxed);
  return true;
}

CursorImage SimDesktop::GetCursor() const {
  std::lock_guard<std::mutex> lock(mutex_);
  CursorImage c;
  c.visible = pointer_visible_;
  c.x = pointer_x_;
  c.y = pointer_y_;
  c.hot_x = shape_info_.hot_x;
  c.hot_y = shape_info_.hot_y;
  if (shape_info_.type == kPointerColor) {
    c.width = shape_info_.width;
    c.height = shape_info_.height;
    c.pixels.resize(static_cast<size_t>(c.width) * c.height * 4);
    for (int y = 0; y < c.height; ++y) {
      std::memcpy(c.pixels.data() + static_cast<size_t>(y) * c.width * 4,
                  shape_.data() + static_cast<size_t>(y) * shape_info_.pitch,
                  static_cast<size_t>(c.width) * 4);
    }
  }
  return c;
}

// The background is computed once per layout; per frame only the box moves.
void SimDesktop::RenderLocked() {
  int l = 0, t = 0, r = 0, b = 0;
  bool first = true;
  for (const Monitor& m : monitors_) {
    if (first) {
      l = m.rect.left; t = m.rect.top; r = m.rect.left + m.rect.width; b = m.rect.top + m.rect.height;
      first = false;
    } else {
      l = std::min(l, m.rect.left); t = std::min(t, m.rect.top);
      r = std::max(r, m.rect.left + m.rect.width); b = std::max(b, m.rect.top + m.rect.height);
    }
  }
  virtual_ = Rect{l, t, r - l, b - t};
  const int w = virtual_.width, h = virtual_.height;
  background_.assign(static_cast<size_t>(w) * h * 4, 0);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = background_.data() + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      row[x * 4 + 0] = static_cast<uint8_t>(x * 255 / std::max(1, w - 1));
      row[x * 4 + 1] = static_cast<uint8_t>(y * 255 / std::max(1, h - 1));
      row[x * 4 + 2] = static_cast<uint8_t>(64 + (x + y) * 127 / std::max(1, w + h));
      row[x * 4 + 3] = 255;
    }
  }
  if (scrolling_) {
    // Lines of dark "glyphs" (3x3-pixel cells picked by a hash) on the gradient, like a
    // page of text: fine detail that a scroll moves everywhere at once.
    for (int y = 0; y < h; ++y) {
      if ((y % 18) >= 12) continue;
      uint8_t* row = background_.data() + static_cast<size_t>(y) * w * 4;
      for (int x = 0; x < w; ++x) {
        uint32_t hsh = static_cast<uint32_t>(x / 3) * 2654435761u ^ static_cast<uint32_t>(y / 3) * 40503u;
        if (((hsh >> 13) & 3) == 0) row[x * 4 + 0] = row[x * 4 + 1] = row[x * 4 + 2] = 24;
      }
    }
  }
  frame_ = background_;
  DrawBoxLocked(false);
  ++damage_;
}

Rect SimDesktop::BoxRectLocked() const {
  int bw = std::max(1, virtual_.width / 8), bh = std::max(1, virtual_.height / 8);
  int x = Bounce(step_, 7, virtual_.width - bw);
  int y = Bounce(step_, 5, virtual_.height - bh);
  return Rect{x, y, bw, bh};
}

void SimDesktop::DrawBoxLocked(bool erase) {
  if (virtual_.width <= 0 || virtual_.height <= 0) return;
  Rect box = BoxRectLocked();
  const int stride = virtual_.width * 4;
  const size_t offset = static_cast<size_t>(box.top) * stride + static_cast<size_t>(box.left) * 4;
  if (erase) {
    libyuv::ARGBCopy(background_.data() + offset, stride, frame_.data() + offset, stride,
                     box.width, box.height);
  } else {
    uint32_t colour = 0xFF000000u | static_cast<uint32_t>((step_ * 0x0A1B2C) & 0xFFFFFF);
    libyuv::ARGBRect(frame_.data(), stride, box.left, box.top, box.width, box.height, colour);
  }
}

void SimDesktop::StepLocked() {
  DrawBoxLocked(true);
  ++step_;
  if (scrolling_ && virtual_.height > 1) {
    // The background shown from row `shift` on, wrapping around: two block copies.
    const int w = virtual_.width, h = virtual_.height, stride = w * 4;
    const int shift = static_cast<int>((step_ * 4) % static_cast<uint64_t>(h));
    libyuv::ARGBCopy(background_.data() + static_cast<size_t>(shift) * stride, stride, frame_.data(),
                     stride, w, h - shift);
    if (shift > 0) {
      libyuv::ARGBCopy(background_.data(), stride,
                       frame_.data() + static_cast<size_t>(h - shift) * stride, stride, w, shift);
    }
  }
  DrawBoxLocked(false);
  if (animated_ && virtual_.width > 0) {
    pointer_x_ = virtual_.left + Bounce(step_, 3, virtual_.width - 1);
    pointer_y_ = virtual_.top + Bounce(step_, 2, virtual_.height - 1);
    ++pointer_serial_;
  }
  ++damage_;
}

}  // namespace platform::screen
