#include "client/thread_relay.h"

#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

// Receives the wake-up events on the owner's thread. It keeps the relay alive as long
// as it can be woken, and detaches it when the owner deletes its children; Qt drops
// the posted events of a deleted object.
class ThreadRelay::Receiver : public QObject {
 public:
  Receiver(QObject* owner, std::shared_ptr<ThreadRelay> relay) : QObject(owner), relay_(std::move(relay)) {}
  ~Receiver() override { relay_->Detach(); }

  bool event(QEvent* e) override {
    // A wake-up is made by the posting worker under the relay's lock and travels in
    // Qt's event queue, whose locking ThreadSanitizer cannot see (Qt is not built for
    // it). Taking the lock before the event is read orders the read after its making
    // for the sanitizer too; it costs one uncontended lock per event.
    { std::lock_guard<std::mutex> lock(relay_->mutex_); }
    if (e->type() != QEvent::User) return QObject::event(e);
    relay_->Drain();
    return true;
  }

 private:
  const std::shared_ptr<ThreadRelay> relay_;
};

std::shared_ptr<ThreadRelay> ThreadRelay::Create(QObject* owner) {
  std::shared_ptr<ThreadRelay> relay(new ThreadRelay());
  relay->receiver_ = new Receiver(owner, relay);
  return relay;
}

ThreadRelay::~ThreadRelay() = default;

void ThreadRelay::Post(std::function<void()> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!receiver_) return;
  calls_.push_back(std::move(call));
  if (!wake_pending_) {
    wake_pending_ = true;
    QCoreApplication::postEvent(receiver_, new QEvent(QEvent::User));
  }
}

void ThreadRelay::Detach() {
  std::deque<std::function<void()>> dropped;  // destroyed outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  receiver_ = nullptr;
  dropped.swap(calls_);
}

void ThreadRelay::Drain() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_pending_ = false;
    calls.swap(calls_);
  }
  for (auto& call : calls) {
    // Detach runs on this thread too: a call of this batch may have detached.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!receiver_) return;
    }
    call();
  }
}
