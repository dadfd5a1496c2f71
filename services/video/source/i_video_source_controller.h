#pragma once

#include <cstdint>
#include <functional>

namespace crcp::video {

// Starts, stops and tunes one running screen pipeline for a video session.
class IVideoSourceController {
 public:
  using OutputCallback = std::function<void(uint8_t* data, unsigned size, uint64_t stamp)>;
  using EventCallback = std::function<void(int event)>;

  virtual ~IVideoSourceController() = default;
  // Called on the pipeline's sink thread once per sample (and once before it with the
  // codec extra data, stamp 0, when a sample carries some); the bytes are valid during
  // the call only. The callback must not call Stop of the same controller.
  virtual void SetOutputCallback(OutputCallback callback) = 0;
  virtual void SetHardwareEnabled(bool enabled) = 0;
  virtual void SetQualityMode(bool quality_mode) = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void RequestKeyFrame() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual void SetMonitor(int index) = 0;
  virtual void SetDrawCursor(bool draw_cursor) = 0;
  virtual void SetFrameRate(int fps) = 0;
  virtual void SetBitrate(int kbps) = 0;
  virtual void SetOutputSize(int width, int height) = 0;
  virtual void Reserved(int value) = 0;
  // No source reports events so far; the callback is never invoked.
  virtual void SetEventCallback(EventCallback callback) = 0;
  // Called by every stop of the pipeline before it joins the thread that runs the
  // output callback: make a callback that waits (a full send ring) return. Optional.
  virtual void SetOutputInterrupt(std::function<void()> interrupt) {}
};

}  // namespace crcp::video
