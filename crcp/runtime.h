#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <asio/io_context.hpp>

namespace crcp {

class Supervisor;
class IoWorker;
class AcceptWorker;
class TimerWorker;
class TaskWorker;

// Milliseconds of the monotonic clock; task times and packet timestamps.
uint64_t NowMs();

// The process-wide workers of the session protocol. Every state change of a session
// or handshake, and every callback into the application, runs as a task on the one
// task thread; socket completions (I/O thread) and timer expiries (timer thread)
// hand their results over by posting a task.
//
// The runtime is built on first use. Stop ends the worker threads; Shutdown then
// destroys the workers, the task and timer workers first so that queued tasks and
// pending timer callbacks release their sockets while the I/O context still exists.
// A use after Shutdown builds a fresh runtime.
class Runtime {
 public:
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  static void PostTask(const std::string& name, std::function<void()>&& fn);
  // Ahead of every waiting task.
  static void PostUrgentTask(const std::string& name, std::function<void()>&& fn);
  // One-shot; the callback runs on the timer thread. Returns the id (>= 1), or 0 while
  // the runtime is being torn down.
  static uint64_t AddTimer(unsigned ms, const std::string& name, std::function<void()> fn);
  static bool CancelTimer(uint64_t id);
  static asio::io_context& GetIoContext();
  static asio::io_context& GetAcceptContext();
  static void Stop();
  static void Shutdown();

 private:
  Runtime();
  static Runtime& Instance();
  void BuildLocked();
  std::shared_ptr<TaskWorker> Task();
  std::shared_ptr<TimerWorker> Timer();
  std::shared_ptr<IoWorker> Io();
  std::shared_ptr<AcceptWorker> Accept();
  void StopWorkers();
  void DestroyWorkers();

  std::mutex mutex_;
  bool tearing_down_ = false;
  std::shared_ptr<Supervisor> supervisor_;
  std::shared_ptr<IoWorker> io_;
  std::shared_ptr<AcceptWorker> accept_;
  std::shared_ptr<TimerWorker> timer_;
  std::shared_ptr<TaskWorker> task_;
};

}  // namespace crcp
