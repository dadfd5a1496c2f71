#pragma once

#include "services/remote_input/input_event.h"

namespace crcp::ril {

// One way of injecting input; the simulator offers each event to its devices in turn.
class IInputDevice {
 public:
  enum Type { kTouch = 0, kMouse = 1 };

  virtual ~IInputDevice() = default;
  virtual int GetType() = 0;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // True when the device consumed the event.
  virtual bool Process(const InputEvent& event) = 0;
};

}  // namespace crcp::ril
