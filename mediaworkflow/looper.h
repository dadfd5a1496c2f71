#pragma once

#include <atomic>
#include <thread>

namespace mediaworkflow {

// Owns one stage thread. The thread runs WorkFunc until `running_` is cleared; the
// stage must make every wait in WorkFunc end by itself (time-outs or a stopped queue).
class Looper {
 public:
  virtual ~Looper();

  // False when already running.
  bool Start();
  // False when not running. Joining from the stage's own thread throws
  // std::system_error, as std::thread does.
  bool Stop();
  bool IsRunning() const { return running_.load(); }

 protected:
  virtual void WorkFunc() = 0;
  std::atomic<bool> running_{false};

 private:
  void Run();
  std::thread thread_;
};

}  // namespace mediaworkflow
