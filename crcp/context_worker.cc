#include "crcp/context_worker.h"

#include <exception>

#include "utils/logger.h"

namespace crcp {

ContextWorker::ContextWorker(std::string tag, std::string running_text,
                             std::string stopped_text)
    : tag_(std::move(tag)),
      running_text_(std::move(running_text)),
      stopped_text_(std::move(stopped_text)),
      guard_(asio::make_work_guard(context_)) {
  thread_ = std::thread([this] { Run(); });
}

ContextWorker::~ContextWorker() {
  // The owner stops the worker first; a still-running thread is stopped here rather
  // than left to std::terminate.
  if (thread_.joinable()) Stop();
}

void ContextWorker::Run() {
  const std::string& kLogTag = tag_;
  LOG_INFO("{}", running_text_);
  // No exception may leave a worker thread: a throwing handler is logged and the
  // context keeps running.
  for (;;) {
    try {
      context_.run();
      break;
    } catch (const std::exception& e) {
      LOG_ERROR("Exception in worker thread: {}", e.what());
    } catch (...) {
      LOG_ERROR("Unknown exception in worker thread");
    }
  }
  LOG_INFO("{}", stopped_text_);
}

void ContextWorker::Join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Stopping from inside the worker itself: it cannot wait for its own end.
    const std::string& kLogTag = tag_;
    LOG_ERROR("Worker stopped from its own thread, detaching");
    thread_.detach();
    return;
  }
  thread_.join();
}

void ContextWorker::Stop() {
  guard_.reset();
  context_.stop();
  Join();
}

void ContextWorker::Drain() {
  guard_.reset();
  Join();
}

}  // namespace crcp
