#include "mediaworkflow/looper.h"

#include <exception>
#include <string>

#include "utils/logger.h"

namespace mediaworkflow {

namespace {
const char* const kLogTag = "CaptureSessionImpl";
}  // namespace

Looper::~Looper() {
  // The owning stage stops its thread in its own destructor; this is the backstop
  // for a stage that was never stopped, so no running thread is ever left behind.
  if (thread_.joinable()) {
    running_.store(false);
    if (thread_.get_id() != std::this_thread::get_id()) thread_.join(); else thread_.detach();
  }
}

bool Looper::Start() {
  if (running_.exchange(true)) return false;
  if (thread_.joinable()) thread_.join();  // a thread that ended by itself
  try {
    thread_ = std::thread(&Looper::Run, this);
  } catch (...) {
    running_.store(false);
    throw;
  }
  return true;
}

bool Looper::Stop() {
  if (!running_.exchange(false)) return false;
  thread_.join();
  return true;
}

void Looper::Run() {
  // No exception may leave a worker thread: it would end the process.
  try {
    WorkFunc();
  } catch (const std::exception& e) {
    LOG_ERROR("stage thread ended by exception: {}", e.what());
  } catch (...) {
    LOG_ERROR("stage thread ended by unknown exception");
  }
}

}  // namespace mediaworkflow
