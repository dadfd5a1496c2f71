#pragma once

#include <string>

namespace crcp::video {

// What the application learns of its video sessions. Called on the session's command
// worker (and, for OnPause and OnTeardown, on the thread that paused or stopped); an
// implementation hands the event on to its own thread and returns at once. Error codes
// are those of ClientCommandSession (VideoCommandResult) or the receiver's own
// non-zero resultType.
class ClientListener {
 public:
  virtual ~ClientListener() = default;
  virtual void OnError(const std::string& session_id, int code) = 0;
  virtual void OnPlay(const std::string& session_id) = 0;
  virtual void OnPause(const std::string& session_id) = 0;
  virtual void OnTeardown(const std::string& session_id) = 0;
};

}  // namespace crcp::video
