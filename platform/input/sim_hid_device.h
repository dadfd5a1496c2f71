#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "platform/input/bounded_record.h"
#include "platform/input/hid_bus.h"

namespace platform::input {

// A simulated device on a SimHidBus. It records the output reports it accepts (the last
// few thousand, and the count of all) and can be told to refuse opening or to fail
// chosen reports. Shared between the bus, the handles opened on it and the test that
// inspects it; every member is guarded.
class SimHidDevice {
 public:
  // `log_reports`: write each accepted report to the log (a run under
  // CASTORA_PLATFORM=sim shows the touches that arrive).
  explicit SimHidDevice(HidDeviceInfo info, bool log_reports = false);

  const HidDeviceInfo& Info() const { return info_; }

  void SetOpenFails(bool fails);
  // The send with this zero-based index (counting every send, failed ones too) fails.
  void FailReportAt(size_t index);

  // The accepted reports still kept (the last BoundedRecord::kKept), oldest first.
  std::vector<std::vector<uint8_t>> Reports() const;
  // Every report accepted since the device was made.
  size_t ReportCount() const;
  size_t SendCount() const;
  size_t OpenCount() const;
  // Waits (bounded) until at least `count` reports were accepted.
  bool WaitForReports(size_t count, std::chrono::milliseconds timeout) const;

  // Called by the bus and its handles.
  bool TryOpen();
  HidResult Receive(const uint8_t* report, size_t size);

 private:
  const HidDeviceInfo info_;
  const bool log_reports_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool open_fails_ = false;
  std::set<size_t> failing_sends_;
  size_t sends_ = 0;
  size_t opens_ = 0;
  BoundedRecord<std::vector<uint8_t>> reports_;
};

}  // namespace platform::input
