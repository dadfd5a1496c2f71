#pragma once

#include <asio/io_context.hpp>

#include "crcp/context_worker.h"

namespace crcp {

// The accepting side's I/O thread. Nothing listens on it in the client; it exists
// so that the accepting side has a context of its own.
class AcceptWorker {
 public:
  AcceptWorker();
  ~AcceptWorker();
  asio::io_context& GetContext() { return worker_.Context(); }
  void Stop();

 private:
  ContextWorker worker_;
};

}  // namespace crcp
