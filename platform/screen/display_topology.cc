#include "platform/screen/display_topology.h"

#include <algorithm>
#include <mutex>

#include "platform/backend.h"
#include "platform/screen/x11_screen_system.h"

namespace platform::screen {
namespace {

const char* const kDevicePrefix = "\\\\.\\DISPLAY";

// An X server's monitors through the screen layer's XRandR listing. The desktop of an
// X server is always one extended screen, so extending succeeds without a change; a
// mode change is not offered (the display is the server's, not the client's).
class X11DisplayTopology : public DisplayTopology {
 public:
  int CountMonitors() override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* system = SystemLocked();
    return system ? static_cast<int>(system->EnumerateMonitors().size()) : 0;
  }
  int ExtendDesktop() override { return 0; }
  std::vector<DisplayDevice> EnumerateDisplayDevices() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<DisplayDevice> devices;
    auto* system = SystemLocked();
    if (!system) return devices;
    int n = 1;
    for (const auto& monitor : system->EnumerateMonitors()) {
      devices.push_back({kDevicePrefix + std::to_string(n++), monitor.name, true});
    }
    return devices;
  }
  std::optional<DisplayMode> GetCurrentMode(const std::string& device_name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* system = SystemLocked();
    if (!system) return std::nullopt;
    const auto monitors = system->EnumerateMonitors();
    for (size_t i = 0; i < monitors.size(); ++i) {
      if (device_name == kDevicePrefix + std::to_string(i + 1)) {
        const Rect& r = monitors[i].rect;
        return DisplayMode{r.width, r.height, 32, r.left, r.top};
      }
    }
    return std::nullopt;
  }
  bool ChangeMode(const std::string&, const DisplayMode&) override { return false; }

 private:
  ScreenSystem* SystemLocked() {
    if (!system_) system_ = X11ScreenSystem::Open();
    return system_.get();
  }
  std::mutex mutex_;
  std::unique_ptr<ScreenSystem> system_;
};

std::optional<size_t> DeviceIndex(const std::string& device_name, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (device_name == kDevicePrefix + std::to_string(i + 1)) return i;
  }
  return std::nullopt;
}

bool Overlaps(const Rect& a, const Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

// Right of every other monitor.
int RightEdge(const std::vector<Monitor>& monitors, size_t except) {
  int right = 0;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (i != except) right = std::max(right, monitors[i].rect.left + monitors[i].rect.width);
  }
  return right;
}

}  // namespace

std::unique_ptr<DisplayTopology> DisplayTopology::Create() {
  if (SelectedBackend() == Backend::kSimulated) {
    return std::make_unique<SimDisplayTopology>(SimDesktop::Shared());
  }
  return std::make_unique<X11DisplayTopology>();
}

SimDisplayTopology::SimDisplayTopology(std::shared_ptr<SimDesktop> desktop)
    : desktop_(std::move(desktop)) {}

int SimDisplayTopology::CountMonitors() { return static_cast<int>(desktop_->GetMonitors().size()); }

int SimDisplayTopology::ExtendDesktop() { return 0; }

std::vector<DisplayDevice> SimDisplayTopology::EnumerateDisplayDevices() {
  std::vector<DisplayDevice> devices;
  int n = 1;
  for (const auto& monitor : desktop_->GetMonitors()) {
    devices.push_back({kDevicePrefix + std::to_string(n++), monitor.name, true});
  }
  return devices;
}

std::optional<DisplayMode> SimDisplayTopology::GetCurrentMode(const std::string& device_name) {
  const auto monitors = desktop_->GetMonitors();
  const auto index = DeviceIndex(device_name, monitors.size());
  if (!index) return std::nullopt;
  const Rect& r = monitors[*index].rect;
  return DisplayMode{r.width, r.height, 32, r.left, r.top};
}

bool SimDisplayTopology::ChangeMode(const std::string& device_name, const DisplayMode& mode) {
  if (mode.width <= 0 || mode.height <= 0) return false;
  auto monitors = desktop_->GetMonitors();
  const auto index = DeviceIndex(device_name, monitors.size());
  if (!index) return false;
  Monitor& m = monitors[*index];
  Rect wanted{mode.x, mode.y, mode.width, mode.height};
  bool overlaps = false;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (i != *index && Overlaps(wanted, monitors[i].rect)) overlaps = true;
  }
  if (overlaps) {
    wanted.left = m.rect.left;
    wanted.top = m.rect.top;
    for (size_t i = 0; i < monitors.size(); ++i) {
      if (i != *index && Overlaps(wanted, monitors[i].rect)) {
        wanted.left = RightEdge(monitors, *index);
        wanted.top = 0;
      }
    }
  }
  m.rect = wanted;
  desktop_->SetMonitors(monitors);
  return true;
}

void SimDisplayTopology::PlugMonitor(const std::shared_ptr<SimDesktop>& desktop, bool on,
                                     const std::string& name, int width, int height) {
  auto monitors = desktop->GetMonitors();
  const auto it = std::find_if(monitors.begin(), monitors.end(),
                               [&](const Monitor& m) { return m.name == name; });
  if (on == (it != monitors.end())) return;
  if (on) {
    Monitor added;
    added.name = name;
    added.rect = Rect{RightEdge(monitors, monitors.size()), 0, width, height};
    monitors.push_back(added);
  } else {
    monitors.erase(it);
  }
  desktop->SetMonitors(monitors);
}

}  // namespace platform::screen
