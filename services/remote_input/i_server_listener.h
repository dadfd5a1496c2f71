#pragma once

namespace crcp::ril {

// How the remote-input server reports to its owner. Every call comes from a control
// session's own worker thread; an implementation hands the news over to its thread.
class IServerListener {
 public:
  virtual ~IServerListener() = default;
  // Injection started for a session.
  virtual void OnStart() = 0;
  // Injection stopped.
  virtual void OnStop() = 0;
  // A control error: -3001 illegal message or content, -3006 unknown message id, -3007
  // the receiver refused the start, or a code the receiver sent.
  virtual void OnError(int code) = 0;
};

}  // namespace crcp::ril
