#include "platform/display/linux_virtual_display_driver.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>

namespace platform::display {

PipeOpenResult LinuxVirtualDisplayDriver::OpenControlPipe(const std::string&) {
  PipeOpenResult result;
  result.status = PipeOpenStatus::kFailed;
  result.error = ENOENT;
  return result;
}

std::string LinuxVirtualDisplayDriver::ApplicationFilePath(const std::string& file_name) {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || !exe.has_parent_path()) return file_name;
  return (exe.parent_path() / file_name).string();
}

bool LinuxVirtualDisplayDriver::FileExists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

void LinuxVirtualDisplayDriver::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace platform::display
