#pragma once

#include <vector>

#include "services/remote_input/input_event.h"

namespace crcp::ril {

// Where the decoded input datagrams go. SetEnabled comes from the control sessions'
// threads, OnData from the data receiver's thread.
class IDataSink {
 public:
  virtual ~IDataSink() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool OnData(const std::vector<InputEvent>& events) = 0;
};

}  // namespace crcp::ril
