#include "tests/crcp/log_capture.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <spdlog/sinks/base_sink.h>

#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::test {

struct LogCapture::State {
  mutable std::mutex mutex;
  mutable std::condition_variable cv;
  std::vector<std::string> lines;
};

namespace {

class CaptureSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  explicit CaptureSink(std::shared_ptr<LogCapture::State> state) : state_(std::move(state)) {}

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->lines.emplace_back(msg.payload.data(), msg.payload.size());
    state_->cv.notify_all();
  }
  void flush_() override {}

 private:
  std::shared_ptr<LogCapture::State> state_;
};

bool Matches(const std::string& line, const std::vector<std::string>& pieces) {
  for (const auto& p : pieces)
    if (line.find(p) == std::string::npos) return false;
  return true;
}

// Installed while the process has a single thread.
const bool kInstalled = [] {
  LogCapture::Get();
  return true;
}();

}  // namespace

LogCapture::LogCapture() : state_(std::make_shared<State>()) {
  auto& logger = zorvax::utils::logger::GetLogger("ZORVAX");
  logger->sinks().push_back(std::make_shared<CaptureSink>(state_));
  logger->set_level(spdlog::level::trace);
}

LogCapture& LogCapture::Get() {
  static LogCapture* capture = new LogCapture();  // lives until exit, like the logger
  (void)kInstalled;
  return *capture;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->lines.clear();
  // Lines a peer can repeat are rate-limited; a test starts with every limit fresh.
  zorvax::utils::logger::ResetRateLimits();
}

size_t LogCapture::Count(const std::vector<std::string>& pieces) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  size_t n = 0;
  for (const auto& line : state_->lines)
    if (Matches(line, pieces)) ++n;
  return n;
}

bool LogCapture::WaitFor(const std::string& piece, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->cv.wait_for(lock, timeout, [&] {
    for (const auto& line : state_->lines)
      if (line.find(piece) != std::string::npos) return true;
    return false;
  });
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->lines;
}

}  // namespace crcp::test
