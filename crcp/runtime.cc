#include "crcp/runtime.h"

#include <chrono>
#include <stdexcept>

#include "crcp/accept_worker.h"
#include "crcp/io_worker.h"
#include "crcp/supervisor.h"
#include "crcp/task_worker.h"
#include "crcp/timer_worker.h"
#include "utils/logger.h"

namespace crcp {

uint64_t NowMs() {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
  return static_cast<uint64_t>(ns / 1000000);
}

Runtime::Runtime() = default;

Runtime::~Runtime() {
  StopWorkers();
  DestroyWorkers();
}

Runtime& Runtime::Instance() {
  // The logger is built first so that it is destroyed after the runtime, whose
  // workers log while they stop at process exit.
  static bool logger_ready = zorvax::utils::logger::ShouldLog(spdlog::level::info) || true;
  (void)logger_ready;
  static Runtime runtime;
  return runtime;
}

void Runtime::BuildLocked() {
  if (io_ || tearing_down_) return;
  supervisor_ = std::make_shared<Supervisor>();
  io_ = std::make_shared<IoWorker>();
  accept_ = std::make_shared<AcceptWorker>();
  timer_ = std::make_shared<TimerWorker>(supervisor_);
  task_ = std::make_shared<TaskWorker>(supervisor_);
}

std::shared_ptr<TaskWorker> Runtime::Task() {
  std::lock_guard<std::mutex> lock(mutex_);
  BuildLocked();
  return task_;
}

std::shared_ptr<TimerWorker> Runtime::Timer() {
  std::lock_guard<std::mutex> lock(mutex_);
  BuildLocked();
  return timer_;
}

std::shared_ptr<IoWorker> Runtime::Io() {
  std::lock_guard<std::mutex> lock(mutex_);
  BuildLocked();
  return io_;
}

std::shared_ptr<AcceptWorker> Runtime::Accept() {
  std::lock_guard<std::mutex> lock(mutex_);
  BuildLocked();
  return accept_;
}

void Runtime::PostTask(const std::string& name, std::function<void()>&& fn) {
  if (auto task = Instance().Task()) task->PostTask(name, std::move(fn));
}

void Runtime::PostUrgentTask(const std::string& name, std::function<void()>&& fn) {
  if (auto task = Instance().Task()) task->PostUrgentTask(name, std::move(fn));
}

uint64_t Runtime::AddTimer(unsigned ms, const std::string& name, std::function<void()> fn) {
  auto timer = Instance().Timer();
  return timer ? timer->AddTimer(ms, name, std::move(fn)) : 0;
}

bool Runtime::CancelTimer(uint64_t id) {
  auto timer = Instance().Timer();
  return timer ? timer->Cancel(id) : false;
}

asio::io_context& Runtime::GetIoContext() {
  auto io = Instance().Io();
  if (!io) throw std::runtime_error("crcp runtime is being torn down");
  // The worker outlives every socket made on it: it is destroyed last.
  return io->GetContext();
}

asio::io_context& Runtime::GetAcceptContext() {
  auto accept = Instance().Accept();
  if (!accept) throw std::runtime_error("crcp runtime is being torn down");
  return accept->GetContext();
}

void Runtime::Stop() { Instance().StopWorkers(); }

void Runtime::Shutdown() { Instance().DestroyWorkers(); }

void Runtime::StopWorkers() {
  std::shared_ptr<IoWorker> io;
  std::shared_ptr<AcceptWorker> accept;
  std::shared_ptr<TaskWorker> task;
  std::shared_ptr<TimerWorker> timer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    io = io_;
    accept = accept_;
    task = task_;
    timer = timer_;
  }
  // Joined outside the mutex: a worker thread may be posting right now.
  if (io) io->Stop();
  if (accept) accept->Stop();
  if (task) task->Stop();
  if (timer) timer->Stop();
}

void Runtime::DestroyWorkers() {
  // One worker at a time leaves the table and is destroyed outside the mutex, since
  // destroying queued tasks and timers may call back into the runtime (cancelling
  // timers, closing sockets on the I/O context, which goes last).
  auto release = [this](auto member) {
    std::shared_ptr<void> gone;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tearing_down_ = true;
      gone = std::move(this->*member);
    }
    gone.reset();
  };
  release(&Runtime::task_);
  release(&Runtime::timer_);
  release(&Runtime::accept_);
  release(&Runtime::io_);
  release(&Runtime::supervisor_);
  std::lock_guard<std::mutex> lock(mutex_);
  tearing_down_ = false;
}

}  // namespace crcp
