#pragma once

#include <optional>
#include <string>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

namespace crcp {

// An io_context with a work guard and the one thread that runs it. The io, accept
// and timer workers and the supervisor are each built on one of these.
class ContextWorker {
 public:
  // `tag` is the log tag of the owner; the thread logs `running_text` when it starts
  // and `stopped_text` when run() returns.
  ContextWorker(std::string tag, std::string running_text, std::string stopped_text);
  ~ContextWorker();
  ContextWorker(const ContextWorker&) = delete;
  ContextWorker& operator=(const ContextWorker&) = delete;

  asio::io_context& Context() { return context_; }

  // Releases the guard, stops the context and joins the thread.
  void Stop();
  // Releases the guard only and joins: the thread ends once no work is pending.
  void Drain();

 private:
  void Run();
  void Join();

  std::string tag_;
  std::string running_text_;
  std::string stopped_text_;
  asio::io_context context_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> guard_;
  std::thread thread_;
};

}  // namespace crcp
