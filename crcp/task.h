#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace crcp {

// One queued unit of protocol work. The name appears in every log line about it.
struct Task {
  std::string name;
  uint64_t create_time = 0;  // NowMs() when posted
  std::function<void()> function;
};

}  // namespace crcp
