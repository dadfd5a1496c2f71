#pragma once

#include <atomic>

namespace mediaworkflow {

// Base of every pipeline stage. `paused` and `dirty` are written by the pipeline's
// caller and read by the stage's own thread, hence atomic.
class Element {
 public:
  virtual ~Element() = default;
  virtual void OnElementEvent() {}

  void Pause() { paused_.store(true); }
  // A pending change is applied by the stage's thread at its next pass.
  void Resume() { paused_.store(false); }
  bool IsPaused() const { return paused_.load(); }

 protected:
  std::atomic<bool> paused_{false};
  std::atomic<bool> dirty_{false};
};

}  // namespace mediaworkflow
