#include "platform/audio/pulse_notifier.h"

#include <utility>

namespace platform::audio {

PulseNotifier::PulseNotifier() : thread_([this] { Run(); }) {}

PulseNotifier::~PulseNotifier() { Shutdown(); }

void PulseNotifier::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    items_.clear();
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void PulseNotifier::Post(PulseEvent event) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stop_) return;
  items_.push_back(Item{std::move(event), nullptr});
  wake_.notify_all();
}

void PulseNotifier::PostTask(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stop_) return;
  items_.push_back(Item{PulseEvent{}, std::move(task)});
  wake_.notify_all();
}

int PulseNotifier::Register(EndpointObserver* observer, bool volume, const std::string& sink) {
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  int token = next_token_++;
  registrations_[token] = Registration{observer, volume, sink};
  return token;
}

void PulseNotifier::Unregister(int token) {
  std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
  registrations_.erase(token);
}

void PulseNotifier::Run() {
  for (;;) {
    Item item;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !items_.empty(); });
      if (stop_) return;
      item = std::move(items_.front());
      items_.pop_front();
    }
    if (item.task) {
      // Outside the observers' lock: a task waits on the server, and an observer being
      // unregistered meanwhile must not wait for it.
      item.task();
      continue;
    }
    const PulseEvent& event = item.event;
    std::lock_guard<std::recursive_mutex> lock(observers_mutex_);
    auto registrations = registrations_;
    for (const auto& kv : registrations) {
      if (registrations_.count(kv.first) == 0) continue;
      const Registration& r = kv.second;
      if (!event.volume && !r.volume) r.observer->OnDefaultDeviceChanged();
      if (event.volume && r.volume && r.sink == event.sink) {
        r.observer->OnVolumeChanged(event.muted, event.volume_level);
      }
    }
  }
}

}  // namespace platform::audio
