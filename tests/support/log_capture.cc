#include "tests/support/log_capture.h"

#include "tests/support/log_lines.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace testing_support {

namespace {

bool Matches(const std::string& line, const std::vector<std::string>& pieces) {
  for (const auto& p : pieces)
    if (line.find(p) == std::string::npos) return false;
  return true;
}

// Installed while the process has a single thread. This unit is linked only into
// the programs that use the process-wide capture.
const bool kInstalled = [] {
  LogCapture::Get();
  return true;
}();

}  // namespace

LogCapture::LogCapture() : lines_(std::make_shared<LogLines>()) {
  auto& logger = zorvax::utils::logger::GetLogger("ZORVAX");
  logger->sinks().push_back(std::make_shared<LinesSink>(lines_, /*with_level=*/false));
  logger->set_level(spdlog::level::trace);
}

LogCapture& LogCapture::Get() {
  static LogCapture* capture = new LogCapture();  // lives until exit, like the logger
  (void)kInstalled;
  return *capture;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(lines_->mutex);
  lines_->lines.clear();
  // Lines a peer can repeat are rate-limited; a test starts with every limit fresh.
  zorvax::utils::logger::ResetRateLimits();
}

size_t LogCapture::Count(const std::vector<std::string>& pieces) const {
  std::lock_guard<std::mutex> lock(lines_->mutex);
  size_t n = 0;
  for (const auto& line : lines_->lines)
    if (Matches(line, pieces)) ++n;
  return n;
}

bool LogCapture::WaitFor(const std::string& piece, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(lines_->mutex);
  return lines_->cv.wait_for(lock, timeout, [&] {
    for (const auto& line : lines_->lines)
      if (line.find(piece) != std::string::npos) return true;
    return false;
  });
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(lines_->mutex);
  return lines_->lines;
}

}  // namespace testing_support
