#pragma once

#include <memory>
#include <sstream>
#include <string>

#include <spdlog/sinks/ostream_sink.h>

#include "utils/log_limit.h"
#include "utils/logger.h"

namespace testing_support {

// Copies the process logger's lines ("<level> <text>") while it lives. Add and remove it
// only while no other thread logs: the logger's sink list is not guarded.
class LogCapture {
 public:
  LogCapture()
      : logger_(zorvax::utils::logger::GetLogger("Castora")),
        sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(stream_)) {
    // Lines a peer can repeat are rate-limited; a capture starts with every limit fresh.
    zorvax::utils::logger::ResetRateLimits();
    sink_->set_pattern("%l %v");
    logger_->sinks().push_back(sink_);
  }
  ~LogCapture() {
    auto& sinks = logger_->sinks();
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (*it == sink_) {
        sinks.erase(it);
        break;
      }
    }
  }
  std::string Text() const { return stream_.str(); }
  bool Contains(const std::string& piece) const { return Text().find(piece) != std::string::npos; }
  size_t Count(const std::string& piece) const {
    size_t n = 0;
    const std::string text = Text();
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
  }
  void Clear() {
    stream_.str("");
    zorvax::utils::logger::ResetRateLimits();
  }

 private:
  std::shared_ptr<spdlog::logger> logger_;
  std::ostringstream stream_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

}  // namespace testing_support
