#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/screen/screen_types.h"
#include "platform/screen/surface.h"

namespace platform::screen {

// A synthetic desktop: one or more monitors over a virtual screen with a fixed
// background, a moving box and a moving pointer. Deterministic: when animated, the
// content moves one step per capture (each acquire or blit), otherwise only when a
// test draws. Tests script it and inject faults; the simulated ScreenSystem serves
// the capture code from the shared instance.
class SimDesktop {
 public:
  // The desktop behind ScreenSystem::Create() under CASTORA_PLATFORM=sim. Starts as
  // one primary 640x360 monitor, animated, pointer visible.
  static std::shared_ptr<SimDesktop> Shared();
  // Puts the shared desktop back to its starting state (tests call this first).
  static void ResetShared();

  SimDesktop();

  // --- Layout and content ---
  void SetMonitors(const std::vector<Monitor>& monitors);  // a display change
  std::vector<Monitor> GetMonitors() const;
  Rect VirtualRect() const;
  void SetAnimated(bool animated);
  // With scrolling, every step also scrolls the whole background up by a few rows, so
  // every part of the picture changes (a worst case for the encoder).
  void SetScrolling(bool scrolling);
  // Moves the content (box and, when animated, the pointer) one step and marks damage.
  void Advance();
  void FillRect(const Rect& rect, uint32_t bgra);  // virtual-desktop coordinates
  // Copies the current desktop pixels of `rect` (no pointer) into `dst`.
  void ReadPixels(const Rect& rect, uint8_t* dst, int dst_stride) const;

  // --- Pointer (virtual-desktop coordinates of the hot spot) ---
  void SetPointer(int x, int y, bool visible);
  void SetPointerShape(const PointerShapeInfo& info, const std::vector<uint8_t>& bytes);

  // --- Faults ---
  void SetDuplicationAvailable(bool available);
  void SetBlitAvailable(bool available);
  // The next acquires return these results instead of looking at the desktop.
  void InjectAcquireResults(const std::vector<AcquireResult>& results);
  // The next `count` surface creations fail.
  void FailSurfaceCreations(int count);

  // --- Counters for tests ---
  int DuplicationsCreated() const;
  int Acquires() const;
  int Blits() const;

  // --- Used by the simulated back-end ---
  bool DuplicationAvailable() const;
  bool BlitAvailable() const;
  uint64_t Generation() const;  // bumps on each layout change
  bool TakeDisplayChange(uint64_t* seen_generation) const;
  void NoteDuplicationCreated();
  bool TakeSurfaceFailure();
  // What one duplication has already reported.
  struct Seen {
    uint64_t damage = 0;
    uint64_t pointer = 0;
    uint64_t shape = 0;
  };
  // Waits for damage newer than `seen->damage`; consumes an injected result first.
  AcquireResult WaitForFrame(int monitor_index, uint64_t generation, int timeout_ms,
                             Seen* seen, FrameInfo* info);
  bool CopyMonitor(int monitor_index, uint64_t generation, Surface* dst);
  void GetPointerShape(std::vector<uint8_t>* bytes, PointerShapeInfo* info) const;
  bool BlitRect(const Rect& rect, Surface* dst);
  CursorImage GetCursor() const;

 private:
  void RenderLocked();
  void DrawBoxLocked(bool erase);
  Rect BoxRectLocked() const;
  void StepLocked();

  mutable std::mutex mutex_;
  std::condition_variable damaged_;
  std::vector<Monitor> monitors_;
  Rect virtual_;
  std::vector<uint8_t> background_;  // virtual_.width * 4 per row
  std::vector<uint8_t> frame_;
  bool animated_ = true;
  bool scrolling_ = false;
  uint64_t step_ = 0;
  uint64_t damage_ = 1;
  uint64_t generation_ = 1;
  uint64_t pointer_serial_ = 1;
  uint64_t shape_serial_ = 1;
  int pointer_x_ = 0;
  int pointer_y_ = 0;
  bool pointer_visible_ = true;
  PointerShapeInfo shape_info_;
  std::vector<uint8_t> shape_;
  bool duplication_available_ = true;
  bool blit_available_ = true;
  std::deque<AcquireResult> injected_;
  int surface_failures_ = 0;
  int duplications_created_ = 0;
  int acquires_ = 0;
  int blits_ = 0;
};

}  // namespace platform::screen
