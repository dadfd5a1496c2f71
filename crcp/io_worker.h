#pragma once

#include <asio/io_context.hpp>

#include "crcp/context_worker.h"

namespace crcp {

// Runs every socket of the session protocol: completions of reads, connects and
// heart-beat receives arrive on this thread.
class IoWorker {
 public:
  IoWorker();
  ~IoWorker();
  asio::io_context& GetContext() { return worker_.Context(); }
  void Stop();

 private:
  ContextWorker worker_;
};

}  // namespace crcp
