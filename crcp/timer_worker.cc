#include "crcp/timer_worker.h"

#include <chrono>
#include <exception>

#include "crcp/supervisor.h"
#include "platform/socket_errors.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::timer_worker";
}

TimerWorker::TimerWorker(std::shared_ptr<Supervisor> supervisor)
    : supervisor_(std::move(supervisor)),
      worker_(kLogTag, "timer worker is running...", "timer worker stopped"),
      timers_(8) {
  timers_.max_load_factor(1.0f);
}

TimerWorker::~TimerWorker() {
  // Pending waits hold user callbacks (and through them sockets); they are dropped
  // with the table and the context, before the I/O context goes.
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  timers_.clear();
}

uint64_t TimerWorker::AddTimer(unsigned ms, const std::string& name,
                               std::function<void()> fn) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto timer = std::make_unique<asio::steady_timer>(worker_.Context());
  timer->expires_after(std::chrono::milliseconds(ms));
  timer->async_wait([this, name, fn = std::move(fn)](const std::error_code& ec) {
    if (platform::IsOperationAborted(ec)) {
      LOG_TRACE("Timer [{}] is canceled", name);
    } else if (ec) {
      LOG_INFO("Timer error {},{}, task: [{}]", ec.value(), ec.message(), name);
    } else {
      Fire(name, fn);
    }
  });
  uint64_t id = next_id_++;
  timers_.emplace(id, std::move(timer));
  return id;
}

void TimerWorker::Fire(const std::string& name, const std::function<void()>& fn) {
  uint64_t watch = supervisor_->WatchTask(name);
  // A throwing callback must neither end the timer thread nor leave its watch open.
  try {
    fn();
  } catch (const std::exception& e) {
    LOG_ERROR("Timer [{}] callback threw: {}", name, e.what());
  } catch (...) {
    LOG_ERROR("Timer [{}] callback threw an unknown exception", name);
  }
  supervisor_->CompleteTask(watch);
}

bool TimerWorker::Cancel(uint64_t id) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = timers_.find(id);
  if (it == timers_.end()) {
    LOG_ERROR("No task id [{}] found", id);
    return false;
  }
  it->second->cancel();
  timers_.erase(it);
  return true;
}

void TimerWorker::Stop() {
  LOG_INFO("Stop TimerWorker begin");
  worker_.Stop();
  LOG_INFO("Stop TimerWorker end");
}

}  // namespace crcp
