#pragma once

#include <string>

namespace crcp::video {

// One video mirror session with the receiver. This header holds the session's
// interfaces; its implementation lives with the sender session.
class MirrorSenderSession {
 public:
  // Events of one session, called on the command session's worker thread (OnPause
  // and OnTeardown also on the thread of the caller that paused or stopped). Error
  // codes are those of ClientCommandSession.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnError(int code) = 0;
    virtual void OnPlay() = 0;
    virtual void OnPause() = 0;
    virtual void OnTeardown() = 0;
  };
};

}  // namespace crcp::video
