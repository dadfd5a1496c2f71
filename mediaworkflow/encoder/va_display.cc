#include "mediaworkflow/encoder/va_display.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <va/va.h>
#include <va/va_drm.h>

#include "utils/logger.h"

namespace mediaworkflow::encoder {

namespace {

const char* const kLogTag = "MediaWorklfow::H264Encoder";
// Render nodes are numbered from 128; the kernel reserves 64 of them.
constexpr int kFirstRenderNode = 128;
constexpr int kRenderNodes = 64;

class RenderNodeDisplay : public VaDisplay {
 public:
  RenderNodeDisplay(int fd, VADisplay display) : fd_(fd), display_(display) {}
  ~RenderNodeDisplay() override {
    vaTerminate(display_);
    ::close(fd_);
  }
  mfxHDL handle() const override { return display_; }

 private:
  const int fd_;
  const VADisplay display_;
};

}  // namespace

std::unique_ptr<VaDisplay> VaDisplay::OpenRenderNode() {
  for (int node = kFirstRenderNode; node < kFirstRenderNode + kRenderNodes; ++node) {
    const std::string path = "/dev/dri/renderD" + std::to_string(node);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) continue;
    VADisplay display = vaGetDisplayDRM(fd);
    if (display == nullptr) {
      ::close(fd);
      continue;
    }
    // The library's own notes go to standard error; errors stay on.
    vaSetInfoCallback(display, nullptr, nullptr);
    int major = 0, minor = 0;
    if (vaInitialize(display, &major, &minor) != VA_STATUS_SUCCESS) {
      vaTerminate(display);
      ::close(fd);
      continue;
    }
    LOG_INFO("VA display {} (VA-API {}.{}) for Quick Sync", path, major, minor);
    return std::make_unique<RenderNodeDisplay>(fd, display);
  }
  return nullptr;
}

}  // namespace mediaworkflow::encoder
