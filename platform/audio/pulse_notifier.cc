#include "platform/audio/pulse_notifier.h"

#include <utility>

namespace platform::audio {

PulseNotifier::PulseNotifier() : thread_([this] { Run(); }) {}

PulseNotifier::~PulseNotifier() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    wake_.notify_all();
  }
  thread_.join();
}

void PulseNotifier::Post(PulseEvent event) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(std::move(event));
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
    PulseEvent event;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !events_.empty(); });
      if (stop_) return;
      event = std::move(events_.front());
      events_.pop_front();
    }
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
