#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <asio/steady_timer.hpp>

#include "crcp/context_worker.h"
#include "crcp/fnv_hash.h"

namespace crcp {

// The task watchdog: every task and every timer callback is bracketed by WatchTask
// and CompleteTask; one that runs longer than 5000 ms is reported as maybe stuck.
// It only logs: the task is neither interrupted nor restarted.
class Supervisor {
 public:
  static constexpr unsigned kWatchMs = 5000;

  Supervisor();
  ~Supervisor();
  Supervisor(const Supervisor&) = delete;
  Supervisor& operator=(const Supervisor&) = delete;

  uint64_t WatchTask(const std::string& name);
  void CompleteTask(uint64_t id);

 private:
  ContextWorker worker_;
  std::mutex mutex_;
  uint64_t next_id_ = 0;
  std::unordered_map<uint64_t, std::unique_ptr<asio::steady_timer>, FnvHash> watches_;
};

}  // namespace crcp
