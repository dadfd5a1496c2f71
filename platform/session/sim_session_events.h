#pragma once

#include "platform/session/session_events.h"

namespace platform::session {

// The simulated session: nothing happens by itself; a test makes the session suspend,
// lock, unlock or leave the console, and the message goes through the real native-event
// path.
class SimSessionEvents : public SessionEventWatcher {
  Q_OBJECT

 public:
  using SessionEventWatcher::SessionEventWatcher;

  bool IsWatching() const override { return true; }

  void Suspend();
  void Lock();
  void Unlock();
  void DisconnectConsole();
};

}  // namespace platform::session
