#include "crcp/io_worker.h"

#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::io_worker";
}

IoWorker::IoWorker() : worker_(kLogTag, "io worker is running...", "io worker stopped") {}

IoWorker::~IoWorker() = default;

void IoWorker::Stop() {
  LOG_INFO("Stop IoWorker begin");
  worker_.Stop();
  LOG_INFO("Stop IoWorker end");
}

}  // namespace crcp
