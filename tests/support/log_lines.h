#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>

namespace testing_support {

// The lines a capture sink has taken, shared between the sink (on the logging
// threads) and the capture that reads them.
struct LogLines {
  mutable std::mutex mutex;
  mutable std::condition_variable cv;
  std::vector<std::string> lines;
};

// A sink that appends each message to the lines: the bare message, or with
// with_level "<level> <message>".
class LinesSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  LinesSink(std::shared_ptr<LogLines> lines, bool with_level)
      : lines_(std::move(lines)), with_level_(with_level) {}

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    std::string line;
    if (with_level_) {
      const auto level = spdlog::level::to_string_view(msg.level);
      line.assign(level.data(), level.size());
      line += ' ';
    }
    line.append(msg.payload.data(), msg.payload.size());
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->lines.push_back(std::move(line));
    lines_->cv.notify_all();
  }
  void flush_() override {}

 private:
  std::shared_ptr<LogLines> lines_;
  bool with_level_;
};

}  // namespace testing_support
