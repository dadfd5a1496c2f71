#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "services/video/screen_utils.h"
#include "services/video/source/i_video_source_controller.h"
#include "services/video/vdev/virtual_screen.h"

namespace crcp::video {

// One screen pipeline shared by every session that streams the same codec. It fans
// each encoded sample out to the registered consumers, starts the pipeline when the
// first consumer starts and stops it when the last one leaves, chooses the captured
// monitor and opens the virtual monitor for the extended screen.
//
// Consumers may block in their callback (a full send ring: back-pressure, nothing is
// dropped). Every call that stops the pipeline releases those waits first through the
// consumers' interrupt, so a stalled receiver can never hang a stop, and re-arms them
// once the stop is done.
class GlobalSourceController {
 public:
  // Called on the pipeline's output thread; the bytes are valid during the call only.
  using OutputCallback = std::function<void(uint8_t* data, uint32_t size, uint64_t stamp)>;
  // true: make a waiting (and every further) callback return at once; false: normal
  // hand-over again.
  using InterruptCallback = std::function<void(bool interrupted)>;

  // `virtual_screen`: default, the virtual display of this run.
  explicit GlobalSourceController(std::shared_ptr<IVideoSourceController> source,
                                  std::shared_ptr<VDevUtils::VirtualScreen> virtual_screen = nullptr);
  // Clears the consumers (releasing any that waits) and lets go of the source
  // controller and the virtual screen.
  ~GlobalSourceController();

  GlobalSourceController(const GlobalSourceController&) = delete;
  GlobalSourceController& operator=(const GlobalSourceController&) = delete;

  // Hands one sample to every consumer, in name order.
  void OnVideoData(uint8_t* data, uint32_t size, uint64_t stamp);
  // Inserts or replaces the consumer `name`. A consumer that joins a running pipeline
  // asks for a key frame: it cannot decode before one.
  void AddOutputCallback(const std::string& name, OutputCallback callback,
                         InterruptCallback interrupt = InterruptCallback());
  // Starts the pipeline for the first consumer; a later Start (a newcomer) asks for a
  // key frame instead.
  void Start();
  // Removes the consumer; the last one stops the pipeline (before it is removed, so
  // the sink never calls a consumer that is gone), brings capture back to the main
  // monitor and closes the virtual screen.
  void Stop(const std::string& name);
  void Pause();
  void Resume();
  void SetQualityMode(bool quality_mode);
  void SetHardwareEnabled(bool enabled);
  void SetOutputSize(int width, int height);
  void SetCaptureCursor(bool capture);
  void RequestKeyFrame();
  // 0 the main screen, 1 the extended (virtual) screen; anything else is refused.
  void SetDisplayId(int id);
  void SetScreenUtils(std::shared_ptr<ScreenUtils> screen_utils);

  bool IsRunning() const { return running_.load(); }
  bool IsExtend() const;
  size_t ConsumerCount() const;

  class Fanout;

 private:
  void OpenVirtualScreenLocked();
  void CloseVirtualScreenLocked();
  // `stop` may stop the pipeline: the consumers' waits are released meanwhile.
  void StopPipelineLocked(const std::function<void()>& stop);

  mutable std::mutex mutex_;
  bool extend_ = false;
  std::atomic<bool> running_{false};
  std::shared_ptr<VDevUtils::VirtualScreen> virtual_screen_;
  std::shared_ptr<ScreenUtils> screen_utils_;
  std::shared_ptr<IVideoSourceController> source_;
  std::shared_ptr<Fanout> fanout_;
};

}  // namespace crcp::video
