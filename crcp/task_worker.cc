#include "crcp/task_worker.h"

#include <exception>

#include "crcp/runtime.h"
#include "crcp/supervisor.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::task_worker";
constexpr unsigned kTaskLogBurst = 60;
}

// `running_` starts true so that a Stop that comes before the thread is scheduled is
// not overwritten by the thread's start.
TaskWorker::TaskWorker(std::shared_ptr<Supervisor> supervisor)
    : supervisor_(std::move(supervisor)) {
  thread_ = std::thread([this] { Run(); });
  thread_id_ = thread_.get_id();
}

TaskWorker::~TaskWorker() {
  if (thread_.joinable()) Stop();
  // Tasks left in the queue are destroyed unrun, here, while the I/O context that
  // their sockets live on still exists.
  std::deque<Task> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.swap(queue_);
  }
}

void TaskWorker::PostTask(const std::string& name, std::function<void()>&& fn) {
  Post(name, std::move(fn), false);
}

void TaskWorker::PostUrgentTask(const std::string& name, std::function<void()>&& fn) {
  Post(name, std::move(fn), true);
}

void TaskWorker::Post(const std::string& name, std::function<void()>&& fn, bool urgent) {
  Task task{name, NowMs(), std::move(fn)};
  const bool from_self = std::this_thread::get_id() == thread_id_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (urgent) {
      queue_.push_front(std::move(task));
    } else {
      queue_.push_back(std::move(task));
    }
  }
  // The loop looks at the queue again after the running task returns.
  if (!from_self) cv_.notify_one();
}

void TaskWorker::Run() {
  LOG_INFO("Task worker is running...");
  for (;;) {
    Task task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // The predicate is evaluated under the mutex that Stop also takes to clear the
      // flag, so a stop can never slip between the check and the wait.
      cv_.wait(lock, [this] { return !running_ || !queue_.empty(); });
      if (!running_) break;
      if (queue_.empty()) {
        LOG_INFO("Task queue is empty, maybe spurious wakeup");
        continue;
      }
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    ExecuteTask(task);
  }
  LOG_INFO("Task worker exit");
}

void TaskWorker::ExecuteTask(Task& task) {
  uint64_t now = NowMs();
  // Peers drive tasks (each message, each error is one or more): both lines are bounded,
  // with room for the bursts of a connect.
  LOG_INFO_LIMITED_TO(kTaskLogBurst,
                      "Execute task [{}], create time: {}, current time: {}, interval: {}",
                      task.name, task.create_time, now, now - task.create_time);
  uint64_t id = supervisor_->WatchTask(task.name);
  try {
    task.function();
  } catch (const std::exception& e) {
    LOG_ERROR("Task [{}] threw: {}", task.name, e.what());
  } catch (...) {
    LOG_ERROR("Task [{}] threw an unknown exception", task.name);
  }
  supervisor_->CompleteTask(id);
  // The function and what it captured are released here, still on the task thread.
  task.function = nullptr;
  LOG_INFO_LIMITED_TO(kTaskLogBurst, "Task [{}] execute is finished, speed time: {}", task.name,
                      NowMs() - now);
}

void TaskWorker::Stop() {
  LOG_INFO("Stop TaskWorker begin");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  cv_.notify_all();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      LOG_ERROR("Task worker stopped from its own thread, detaching");
      thread_.detach();
    } else {
      thread_.join();
    }
  }
  LOG_INFO("Stop TaskWorker end");
}

}  // namespace crcp
