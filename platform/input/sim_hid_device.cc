#include "platform/input/sim_hid_device.h"

#include <fmt/format.h>

#include "utils/logger.h"

namespace platform::input {

namespace {
const char* const kLogTag = "PLATFORM::sim_input";

std::string Hex(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve(size * 3);
  for (size_t i = 0; i < size; ++i) out += fmt::format("{:02X} ", data[i]);
  return out;
}
}  // namespace

SimHidDevice::SimHidDevice(HidDeviceInfo info, bool log_reports)
    : info_(std::move(info)), log_reports_(log_reports) {}

void SimHidDevice::SetOpenFails(bool fails) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_fails_ = fails;
}

void SimHidDevice::FailReportAt(size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  failing_sends_.insert(index);
}

std::vector<std::vector<uint8_t>> SimHidDevice::Reports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_.Kept();
}

size_t SimHidDevice::ReportCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_.Total();
}

size_t SimHidDevice::SendCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sends_;
}

size_t SimHidDevice::OpenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opens_;
}

bool SimHidDevice::WaitForReports(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return reports_.Total() >= count; });
}

bool SimHidDevice::TryOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_fails_) return false;
  ++opens_;
  return true;
}

HidResult SimHidDevice::Receive(const uint8_t* report, size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t index = sends_++;
    if (failing_sends_.count(index) != 0) return HidResult::Fail("simulated report failure");
    reports_.Add(std::vector<uint8_t>(report, report + size));
  }
  changed_.notify_all();
  if (log_reports_) LOG_INFO("touch report to {}: {}", info_.path, Hex(report, size));
  return HidResult::Ok();
}

}  // namespace platform::input
