#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace spdlog::sinks {
class sink;
}

namespace testing_support {

struct LogLines;

// Keeps every line the process logger writes (the "[tag][where]: message" text) from
// before main to exit, with the logger at trace level, so that tests can look for the
// system's log texts. The sink goes in while the process has a single thread: the
// logger's sink list is not guarded.
class LogCapture {
 public:
  static LogCapture& Get();

  void Clear();
  // Number of captured lines containing every one of the pieces.
  size_t Count(const std::vector<std::string>& pieces) const;
  size_t Count(const std::string& piece) const { return Count(std::vector<std::string>{piece}); }
  // Waits (bounded) until a line containing the piece shows up.
  bool WaitFor(const std::string& piece,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(8000)) const;
  std::vector<std::string> Lines() const;

 private:
  LogCapture();
  std::shared_ptr<LogLines> lines_;
};

// Copies the process logger's lines ("<level> <text>", one a line) while it lives,
// leaving the logger's level as it is. Add and remove it only while no other thread
// logs: the logger's sink list is not guarded.
class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::string Text() const;
  bool Contains(const std::string& piece) const { return Text().find(piece) != std::string::npos; }
  // Occurrences of the piece in the text (overlapping ones included).
  size_t Count(const std::string& piece) const;
  void Clear();

 private:
  std::shared_ptr<LogLines> lines_;
  std::shared_ptr<spdlog::sinks::sink> sink_;
};

}  // namespace testing_support
