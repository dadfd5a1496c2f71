#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/screen/display_topology.h"

namespace crcp::video {

// The display-topology operations of extended-screen mode, and a watch of the monitor
// count. One for the whole video service.
class ScreenUtils {
 public:
  // What the virtual display driver's monitor calls itself.
  static constexpr const char* kVirtualMonitorName = "Vosky - Virtual MonitorX";
  static constexpr int kVirtualWidth = 1920;
  static constexpr int kVirtualHeight = 1080;

  // `topology`: the display layer (default: the one of this run). `watch`: run the
  // monitor-count watch (every 300 ms on a worker of its own).
  explicit ScreenUtils(std::shared_ptr<platform::screen::DisplayTopology> topology = nullptr,
                       bool watch = true);
  // Ends the watch and joins it.
  ~ScreenUtils();

  ScreenUtils(const ScreenUtils&) = delete;
  ScreenUtils& operator=(const ScreenUtils&) = delete;

  // Sets every attached virtual monitor to 1920 x 1080 at (0, 0), keeping its depth,
  // for this session only.
  void ChangeResolution();
  // 0 when the desktop is extended over every display; otherwise the error number.
  int ExtendDesktop();
  int CountMonitors();
  // What each monitor calls itself, in the order the capture indexes them.
  std::vector<std::string> MonitorNames();
  // The index in `after` of the monitor that `before` lacks (the one a plug added);
  // when none was added, the virtual monitor's own (it was there already); else -1.
  static int AddedMonitorIndex(const std::vector<std::string>& before,
                               const std::vector<std::string>& after);
  // Called on the watch's worker with true when monitors were added, false when some
  // went. Empty by default.
  void SetChangeCallback(std::function<void(bool extend)> callback);

 private:
  void CheckScreenLoop();

  std::mutex mutex_;
  std::shared_ptr<platform::screen::DisplayTopology> topology_;
  int monitor_count_ = 1;
  std::function<void(bool)> change_callback_;
  std::atomic<bool> running_{true};
  std::condition_variable wake_;
  std::future<void> watch_;
};

}  // namespace crcp::video
