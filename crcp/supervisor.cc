#include "crcp/supervisor.h"

#include <chrono>

#include "platform/socket_errors.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::supervisor";
}

Supervisor::Supervisor()
    : worker_(kLogTag, "timer worker is running...", "timer worker stopped"), watches_(8) {
  watches_.max_load_factor(1.0f);
}

Supervisor::~Supervisor() {
  LOG_INFO("~Supervisor start");
  {
    // Every watch is completed by its task; whatever is left (a task that never
    // returned) must not keep the thread from ending.
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : watches_) entry.second->cancel();
    watches_.clear();
  }
  worker_.Drain();
  LOG_INFO("~Supervisor stop");
}

uint64_t Supervisor::WatchTask(const std::string& name) {
  auto timer = std::make_unique<asio::steady_timer>(worker_.Context());
  timer->expires_after(std::chrono::milliseconds(kWatchMs));
  timer->async_wait([name](const std::error_code& ec) {
    if (platform::IsOperationAborted(ec)) {
      LOG_TRACE("Task [{}] finished on schedule", name);
    } else if (ec) {
      LOG_INFO("error {},{} in supervisor", ec.value(), ec.message());
    } else {
      LOG_WARN("Task [{}] is not complete in {}ms, maybe stuck", name, kWatchMs);
    }
  });
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t id = next_id_++;
  watches_.emplace(id, std::move(timer));
  return id;
}

void Supervisor::CompleteTask(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = watches_.find(id);
  if (it == watches_.end()) {
    LOG_ERROR("No task id {} found", id);
    return;
  }
  it->second->cancel();
  watches_.erase(it);
}

}  // namespace crcp
