#include "services/video/screen_utils.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::ScreenUtils";
}  // namespace

ScreenUtils::ScreenUtils(std::shared_ptr<platform::screen::DisplayTopology> topology, bool watch)
    : topology_(topology ? std::move(topology)
                         : std::shared_ptr<platform::screen::DisplayTopology>(
                               platform::screen::DisplayTopology::Create())) {
  if (watch) {
    watch_ = std::async(std::launch::async, [this] { CheckScreenLoop(); });
  } else {
    running_ = false;
  }
}

ScreenUtils::~ScreenUtils() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  wake_.notify_all();
  if (watch_.valid()) watch_.wait();
}

void ScreenUtils::ChangeResolution() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& device : topology_->EnumerateDisplayDevices()) {
    if (device.device_string != kVirtualMonitorName || !device.attached) continue;
    auto mode = topology_->GetCurrentMode(device.name);
    if (!mode) {
      LOG_ERROR("EnumDisplaySettings fail, ret is {}", 0);
      continue;
    }
    mode->width = kVirtualWidth;
    mode->height = kVirtualHeight;
    mode->x = 0;
    mode->y = 0;
    if (!topology_->ChangeMode(device.name, *mode)) {
      LOG_ERROR("ChangeDisplaySettingsEx fail, device {}", device.name);
    }
  }
}

int ScreenUtils::ExtendDesktop() {
  std::lock_guard<std::mutex> lock(mutex_);
  return topology_->ExtendDesktop();
}

int ScreenUtils::CountMonitors() {
  std::lock_guard<std::mutex> lock(mutex_);
  monitor_count_ = topology_->CountMonitors();
  return monitor_count_;
}

std::vector<std::string> ScreenUtils::MonitorNames() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names;
  for (const auto& device : topology_->EnumerateDisplayDevices())
    names.push_back(device.device_string);
  return names;
}

int ScreenUtils::AddedMonitorIndex(const std::vector<std::string>& before,
                                   const std::vector<std::string>& after) {
  // Each monitor of `before` accounts for one of the same name in `after` (a desk may
  // have two of one model); the first left over is new.
  std::vector<std::string> unmatched = before;
  for (size_t i = 0; i < after.size(); ++i) {
    const auto it = std::find(unmatched.begin(), unmatched.end(), after[i]);
    if (it == unmatched.end()) return static_cast<int>(i);
    unmatched.erase(it);
  }
  const auto own = std::find(after.begin(), after.end(), kVirtualMonitorName);
  return own == after.end() ? -1 : static_cast<int>(own - after.begin());
}

void ScreenUtils::SetChangeCallback(std::function<void(bool extend)> callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  change_callback_ = std::move(callback);
}

void ScreenUtils::CheckScreenLoop() {
  try {
    int remembered = 1;
    std::unique_lock<std::mutex> lock(mutex_);
    while (running_) {
      wake_.wait_for(lock, std::chrono::milliseconds(300), [this] { return !running_; });
      if (!running_) break;
      const int count = topology_->CountMonitors();
      monitor_count_ = count;
      if (count != remembered && change_callback_) {
        const bool extend = remembered < count;
        LOG_INFO("screen num changed, extend is {}", extend);
        auto callback = change_callback_;
        lock.unlock();
        callback(extend);
        lock.lock();
      }
      remembered = count;
    }
  } catch (const std::exception& e) {
    LOG_ERROR("screen watch ended by exception: {}", e.what());
  } catch (...) {
    LOG_ERROR("screen watch ended by unknown exception");
  }
}

}  // namespace crcp::video
