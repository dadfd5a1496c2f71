#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio/audio_system.h"

namespace platform::audio {

// A change the server connection saw, for the observers.
struct PulseEvent {
  bool volume = false;  // else: default sink changed
  std::string sink;
  bool muted = false;
  float volume_level = 1.0f;
};

// Notifications queued by the server connection (on the server's loop thread),
// delivered on a thread of their own so that observers may call back into the system.
// The same thread runs the connection's follow-up work that must wait on the server
// (which the loop thread itself cannot), in order with the notifications.
class PulseNotifier {
 public:
  PulseNotifier();
  ~PulseNotifier();

  void Post(PulseEvent event);
  void PostTask(std::function<void()> task);
  // Ends the thread; what is still queued is dropped and later posts are ignored. Not
  // from the notifier's own thread.
  void Shutdown();
  // An observer of default-sink changes (volume false) or of the named sink's volume.
  int Register(EndpointObserver* observer, bool volume, const std::string& sink);
  // Returns once no delivery to that observer runs any more.
  void Unregister(int token);

 private:
  struct Registration {
    EndpointObserver* observer;
    bool volume;
    std::string sink;
  };

  // One queued item: a notification, or a task when `task` is set.
  struct Item {
    PulseEvent event;
    std::function<void()> task;
  };

  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> items_;
  bool stop_ = false;
  // Held while observers are called so that Unregister waits for a delivery.
  std::recursive_mutex observers_mutex_;
  std::map<int, Registration> registrations_;
  int next_token_ = 1;
  std::thread thread_;
};

// A registration with the notifier, ended with the subscription.
class PulseSubscription : public Subscription {
 public:
  PulseSubscription(std::shared_ptr<PulseNotifier> notifier, int token)
      : notifier_(std::move(notifier)), token_(token) {}
  ~PulseSubscription() override { notifier_->Unregister(token_); }

 private:
  std::shared_ptr<PulseNotifier> notifier_;
  int token_;
};

}  // namespace platform::audio
