#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <asio/steady_timer.hpp>

#include "crcp/context_worker.h"
#include "crcp/fnv_hash.h"

namespace crcp {

class Supervisor;

// Named one-shot timers. Callbacks run on the timer thread, watched by the
// supervisor. An entry leaves the table only through Cancel, so every user cancels
// its ids when it re-arms or closes, also after the timer fired.
class TimerWorker {
 public:
  explicit TimerWorker(std::shared_ptr<Supervisor> supervisor);
  ~TimerWorker();
  TimerWorker(const TimerWorker&) = delete;
  TimerWorker& operator=(const TimerWorker&) = delete;

  // Returns the timer id, at least 1 (0 means "no timer" to every caller).
  uint64_t AddTimer(unsigned ms, const std::string& name, std::function<void()> fn);
  bool Cancel(uint64_t id);
  void Stop();

 private:
  void Fire(const std::string& name, const std::function<void()>& fn);

  std::shared_ptr<Supervisor> supervisor_;
  ContextWorker worker_;
  std::recursive_mutex mutex_;
  uint64_t next_id_ = 1;
  std::unordered_map<uint64_t, std::unique_ptr<asio::steady_timer>, FnvHash> timers_;
};

}  // namespace crcp
