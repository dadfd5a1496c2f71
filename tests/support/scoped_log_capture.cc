// Apart from log_capture.cc, so that a program using only the scoped capture does not
// link the process-wide one (which turns the logger to trace level before main).
#include <algorithm>

#include "tests/support/log_capture.h"
#include "tests/support/log_lines.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace testing_support {

namespace {
std::shared_ptr<spdlog::logger>& ProcessLogger() {
  return zorvax::utils::logger::GetLogger("Castora");
}
}  // namespace

ScopedLogCapture::ScopedLogCapture() : lines_(std::make_shared<LogLines>()) {
  // Lines a peer can repeat are rate-limited; a capture starts with every limit fresh.
  zorvax::utils::logger::ResetRateLimits();
  sink_ = std::make_shared<LinesSink>(lines_, /*with_level=*/true);
  ProcessLogger()->sinks().push_back(sink_);
}

ScopedLogCapture::~ScopedLogCapture() {
  auto& sinks = ProcessLogger()->sinks();
  const auto it = std::find(sinks.begin(), sinks.end(), sink_);
  if (it != sinks.end()) sinks.erase(it);
}

std::string ScopedLogCapture::Text() const {
  std::lock_guard<std::mutex> lock(lines_->mutex);
  std::string text;
  for (const auto& line : lines_->lines) {
    text += line;
    text += '\n';
  }
  return text;
}

size_t ScopedLogCapture::Count(const std::string& piece) const {
  size_t n = 0;
  const std::string text = Text();
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

void ScopedLogCapture::Clear() {
  {
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->lines.clear();
  }
  zorvax::utils::logger::ResetRateLimits();
}

}  // namespace testing_support
