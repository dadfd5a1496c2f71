#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

// The one way back from worker threads to an object that lives on one thread (the
// Controller, on the GUI thread). Workers hold the relay (shared) and Post calls;
// each call runs later on the owner's thread, in the order posted, so that signals
// are emitted, and the owner's state is written, on that thread only.
//
// The calls travel in a queue under the relay's own mutex; Qt carries only a wake-up
// event, one per batch, to a receiver object that is a child of the owner (so it
// follows the owner to another thread). No call's state crosses threads through Qt's
// internal synchronisation. The mutex is held for nothing but the queueing, so it
// nests inside any lock a worker holds while it reports.
//
// Detach ends the relay: calls still queued are dropped, later posts are ignored, and
// a post that is queueing right then is waited for. The owner detaches before it
// takes down what its workers report from; its destruction detaches in any case, so
// nothing posted runs once the owner is gone.
class ThreadRelay {
 public:
  // On the owner's thread; `owner` is not null.
  static std::shared_ptr<ThreadRelay> Create(QObject* owner);
  ~ThreadRelay();

  ThreadRelay(const ThreadRelay&) = delete;
  ThreadRelay& operator=(const ThreadRelay&) = delete;

  // From any thread: runs `call` on the owner's thread, later; nothing once detached.
  void Post(std::function<void()> call);
  // On the owner's thread.
  void Detach();

 private:
  class Receiver;

  ThreadRelay() = default;
  // On the owner's thread: runs what was queued, in order, without the lock (a call
  // emits signals, whose receivers may call back into the owner, or post again: such
  // a call runs in a later batch).
  void Drain();

  std::mutex mutex_;
  QObject* receiver_ = nullptr;  // null once detached
  std::deque<std::function<void()>> calls_;
  bool wake_pending_ = false;
};
