#pragma once

namespace crcp::audio {

// How an audio session reports to the application. Calls arrive on the command
// session's worker, or on the thread that asked for the stop.
class ClientListener {
 public:
  virtual ~ClientListener() = default;
  // A start was refused (the receiver's resultType) or its answer could not be read
  // (-1600, then -1).
  virtual void OnError(int code) = 0;
  // The receiver accepted the start and the sender runs.
  virtual void OnPlay() = 0;
  // Audio stopped: asked by either side, or the session ended.
  virtual void OnTeardown() = 0;
};

}  // namespace crcp::audio
