#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "crcp/task.h"

namespace crcp {

class Supervisor;

// The one thread that runs every piece of protocol logic, one named task at a time,
// in the order the tasks entered the queue. The queue is unbounded; posting never
// waits beyond the queue mutex.
class TaskWorker {
 public:
  explicit TaskWorker(std::shared_ptr<Supervisor> supervisor);
  ~TaskWorker();
  TaskWorker(const TaskWorker&) = delete;
  TaskWorker& operator=(const TaskWorker&) = delete;

  void PostTask(const std::string& name, std::function<void()>&& fn);
  void PostUrgentTask(const std::string& name, std::function<void()>&& fn);
  void Stop();

 private:
  void Post(const std::string& name, std::function<void()>&& fn, bool urgent);
  void Run();
  void ExecuteTask(Task& task);

  std::shared_ptr<Supervisor> supervisor_;
  std::deque<Task> queue_;
  std::condition_variable cv_;
  std::mutex mutex_;
  std::atomic<bool> running_{true};
  std::thread thread_;
  std::thread::id thread_id_;  // fixed at construction; read by posters
};

}  // namespace crcp
