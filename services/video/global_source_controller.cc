#include "services/video/global_source_controller.h"

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "utils/logger.h"

namespace crcp::video {
namespace {
const char* const kLogTag = "MirrorVideo::GlobalSourceController";
constexpr int kVirtualScreenOpenAttempts = 3;
}  // namespace

// The consumer map, shared with the interrupt installed in the pipeline so that it
// never reaches a controller that is gone. The output thread works on an immutable
// snapshot; a consumer removed meanwhile finishes its current call and gets no more,
// and its removal returns only once that call is done: its owner may go right after.
class GlobalSourceController::Fanout {
 public:
  struct Consumer {
    OutputCallback on_data;
    InterruptCallback interrupt;
    // Held around each call; a removal takes it to wait for a call in flight.
    mutable std::mutex call_mutex;
    mutable std::atomic<bool> removed{false};
  };
  using Snapshot = std::vector<std::shared_ptr<const Consumer>>;

  // Each consumer's calls are its own: one that blocks (a full ring on a stalled
  // receiver) holds back the samples, not another consumer's removal.
  void OnData(uint8_t* data, uint32_t size, uint64_t stamp) {
    std::shared_ptr<const Snapshot> snapshot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      snapshot = snapshot_;
    }
    for (const auto& consumer : *snapshot) {
      std::lock_guard<std::mutex> call(consumer->call_mutex);
      if (!consumer->removed && consumer->on_data) consumer->on_data(data, size, stamp);
    }
  }

  void Add(const std::string& name, OutputCallback on_data, InterruptCallback interrupt) {
    auto consumer = std::make_shared<Consumer>();
    consumer->on_data = std::move(on_data);
    consumer->interrupt = std::move(interrupt);
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = consumers_[name];
    if (slot) slot->removed = true;  // replaced: no further call
    slot = std::move(consumer);
    RebuildLocked();
  }
  // Returns once no call of the consumer runs any more. Its owner releases a wait of
  // its own callback before (the provider stops its ring first).
  void Remove(const std::string& name) {
    std::shared_ptr<const Consumer> removed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = consumers_.find(name);
      if (it == consumers_.end()) return;
      removed = it->second;
      removed->removed = true;
      consumers_.erase(it);
      RebuildLocked();
    }
    std::lock_guard<std::mutex> drain(removed->call_mutex);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    consumers_.clear();
    RebuildLocked();
  }
  bool Contains(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return consumers_.count(name) != 0;
  }
  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return consumers_.size();
  }
  void Interrupt(bool interrupted) {
    std::shared_ptr<const Snapshot> snapshot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      snapshot = snapshot_;
    }
    for (const auto& consumer : *snapshot) {
      if (consumer->interrupt) consumer->interrupt(interrupted);
    }
  }

 private:
  void RebuildLocked() {
    auto snapshot = std::make_shared<Snapshot>();
    for (const auto& entry : consumers_) snapshot->push_back(entry.second);
    snapshot_ = std::move(snapshot);
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const Consumer>> consumers_;
  std::shared_ptr<const Snapshot> snapshot_ = std::make_shared<Snapshot>();
};

GlobalSourceController::GlobalSourceController(
    std::shared_ptr<IVideoSourceController> source,
    std::shared_ptr<VDevUtils::VirtualScreen> virtual_screen)
    : virtual_screen_(virtual_screen ? std::move(virtual_screen)
                                     : std::make_shared<VDevUtils::VirtualScreen>()),
      source_(std::move(source)),
      fanout_(std::make_shared<Fanout>()) {
  LOG_INFO("video source set output callback");
  // The source controller is this controller's: its output thread is joined when it
  // goes (in the destructor), before the controller does.
  source_->SetOutputCallback(
      [this](uint8_t* data, unsigned size, uint64_t stamp) { OnVideoData(data, size, stamp); });
  // Runs inside the pipeline's stop, before it joins the output thread.
  source_->SetOutputInterrupt([fanout = fanout_] { fanout->Interrupt(true); });
}

GlobalSourceController::~GlobalSourceController() {
  source_->SetOutputCallback(nullptr);
  fanout_->Interrupt(true);
  fanout_->Clear();
  source_.reset();
  virtual_screen_.reset();
}

void GlobalSourceController::OnVideoData(uint8_t* data, uint32_t size, uint64_t stamp) {
  fanout_->OnData(data, size, stamp);
}

void GlobalSourceController::AddOutputCallback(const std::string& name, OutputCallback callback,
                                               InterruptCallback interrupt) {
  std::lock_guard<std::mutex> lock(mutex_);
  fanout_->Add(name, std::move(callback), std::move(interrupt));
}

void GlobalSourceController::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_.exchange(true)) {
    // A consumer joined a running stream: it starts decoding at the next key frame.
    LOG_INFO("video source RequestKeyFrame");
    source_->RequestKeyFrame();
    return;
  }
  if (extend_) OpenVirtualScreenLocked();
  if (fanout_->Size() > 1) {
    LOG_INFO("video source RequestKeyFrame");
    source_->RequestKeyFrame();
  }
  LOG_INFO("video source begin start");
  source_->Start();
  LOG_INFO("video source end start");
}

void GlobalSourceController::Stop(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool registered = fanout_->Contains(name);
  const bool last = fanout_->Size() == (registered ? 1u : 0u);
  if (last && running_.exchange(false)) {
    source_->Pause();
    source_->SetMonitor(0);
    source_->Resume();
    CloseVirtualScreenLocked();
    LOG_INFO("video source begin stop");
    StopPipelineLocked([this] { source_->Stop(); });
    LOG_INFO("video source end stop");
  }
  fanout_->Remove(name);
}

void GlobalSourceController::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->Pause();
}

void GlobalSourceController::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->Resume();
}

void GlobalSourceController::SetQualityMode(bool quality_mode) { source_->SetQualityMode(quality_mode); }

void GlobalSourceController::SetHardwareEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A change of the encoder restarts a running pipeline.
  StopPipelineLocked([this, enabled] { source_->SetHardwareEnabled(enabled); });
  // Samples of the new encoder that met a still-released consumer are gone: the
  // stream resumes at a key frame.
  if (running_) source_->RequestKeyFrame();
}

void GlobalSourceController::SetOutputSize(int width, int height) {
  std::lock_guard<std::mutex> lock(mutex_);
  source_->SetOutputSize(width, height);
}

void GlobalSourceController::SetCaptureCursor(bool capture) {
  std::lock_guard<std::mutex> lock(mutex_);
  LOG_INFO("video source SetCaptureCursor");
  source_->SetDrawCursor(capture);
}

void GlobalSourceController::RequestKeyFrame() {
  std::lock_guard<std::mutex> lock(mutex_);
  LOG_INFO("video source RequestKeyFrame");
  source_->RequestKeyFrame();
}

void GlobalSourceController::SetDisplayId(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  LOG_INFO("video source SetDisplayId {}", id);
  if (id == 0) {
    extend_ = false;
    source_->Pause();
    source_->SetMonitor(0);
    source_->Resume();
    if (running_) CloseVirtualScreenLocked();
  } else if (id == 1) {
    extend_ = true;
    if (running_) OpenVirtualScreenLocked();
  } else {
    LOG_ERROR("unknow display_id is : {}", id);
  }
}

void GlobalSourceController::SetScreenUtils(std::shared_ptr<ScreenUtils> screen_utils) {
  std::lock_guard<std::mutex> lock(mutex_);
  screen_utils_ = std::move(screen_utils);
}

bool GlobalSourceController::IsExtend() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return extend_;
}

size_t GlobalSourceController::ConsumerCount() const { return fanout_->Size(); }

void GlobalSourceController::StopPipelineLocked(const std::function<void()>& stop) {
  stop();
  // The pipeline's stop released the consumers' waits; re-arm them before anything
  // can start it again, so the first samples of the next run are not lost.
  fanout_->Interrupt(false);
}

void GlobalSourceController::OpenVirtualScreenLocked() {
  LOG_INFO("open virtual screen");
  if (!virtual_screen_ || !screen_utils_) return;
  StopPipelineLocked([this] { source_->Stop(); });
  // The monitors before the plug: the one that comes in addition is the virtual one,
  // wherever the desktop lists it (a desk may have a second monitor of its own).
  const std::vector<std::string> before = screen_utils_->MonitorNames();
  LOG_INFO("begin open");
  bool opened = false;
  for (int attempt = 0; attempt < kVirtualScreenOpenAttempts && !opened; ++attempt) {
    opened = virtual_screen_->Open() == VDevUtils::VirtualScreen::kOk;
  }
  LOG_INFO("end open");
  // The new monitor needs a moment before the desktop can be extended over it.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int extended = screen_utils_->ExtendDesktop();
  LOG_INFO("open extend screen result: {}", extended);
  // Only a monitor of our own is captured: without the virtual monitor, any other
  // index would be one of the user's displays.
  const int added =
      opened ? ScreenUtils::AddedMonitorIndex(before, screen_utils_->MonitorNames()) : -1;
  if (added >= 0 && screen_utils_->CountMonitors() >= 2) {
    LOG_INFO("virtual screen num is : {}", virtual_screen_->ExpectedMonitorCount());
    if (extended == 0) {
      screen_utils_->ChangeResolution();
      LOG_INFO("capture the virtual monitor, index {}", added);
      source_->Pause();
      source_->SetMonitor(added);
      source_->Resume();
    }
  }
  source_->Start();
}

void GlobalSourceController::CloseVirtualScreenLocked() {
  if (virtual_screen_ && screen_utils_) virtual_screen_->Close();
}

}  // namespace crcp::video
