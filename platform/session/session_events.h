#pragma once

#include <memory>

#include <QObject>

// The watcher that turns the desktop session's suspend, lock and user-switch events
// into session messages (session_message.h) on the GUI thread. It stands where the
// window would register for session notifications.
namespace platform::session {

class SessionEventWatcher : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~SessionEventWatcher() override = default;

  // Whether events will arrive at all (false without a session manager to ask).
  virtual bool IsWatching() const = 0;
  // Whether the session reads as locked now, for a watcher made while it is: the lock
  // that happened before has sent no message.
  virtual bool IsLocked() const { return false; }
};

// Under CASTORA_PLATFORM=sim a watcher that delivers nothing by itself (tests deliver
// messages directly, or through SimSessionEvents); otherwise the logind watcher, which
// watches nothing where logind is not reachable.
std::unique_ptr<SessionEventWatcher> CreateSessionEventWatcher(QObject* parent = nullptr);

}  // namespace platform::session
