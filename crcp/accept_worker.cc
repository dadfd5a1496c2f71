#include "crcp/accept_worker.h"

#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::accept_worker";
}

AcceptWorker::AcceptWorker() : worker_(kLogTag, "accept worker is running...", "accept worker stopped") {}

AcceptWorker::~AcceptWorker() = default;

void AcceptWorker::Stop() {
  LOG_INFO("Stop AcceptWorker begin");
  worker_.Stop();
  LOG_INFO("Stop AcceptWorker end");
}

}  // namespace crcp
