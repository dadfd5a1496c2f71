#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace crcp::test {

// Keeps every line the process logger writes (the "[tag][where]: message" text) so
// that tests can look for the protocol's log texts. Installed before main, with the
// logger at trace level.
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

  struct State;

 private:
  LogCapture();
  std::shared_ptr<State> state_;
};

}  // namespace crcp::test
