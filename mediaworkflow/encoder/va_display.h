#pragma once

#include <functional>
#include <memory>

#include <mfxvideo.h>

namespace mediaworkflow::encoder {

// The device a Quick Sync session on Linux encodes on: the runtime finds none of its
// own and must be handed a VA display (MFX_HANDLE_VA_DISPLAY) before the encoder is
// made. Destroying it terminates the display; the session that holds it goes first.
class VaDisplay {
 public:
  // Opens one, or null when none opens.
  using Opener = std::function<std::unique_ptr<VaDisplay>()>;

  virtual ~VaDisplay() = default;
  // The VADisplay, as the session takes it.
  virtual mfxHDL handle() const = 0;

  // The first DRM render node (/dev/dri/renderD128 on) whose display initialises; null
  // on a machine without one (no GPU, or no VA driver for it).
  static std::unique_ptr<VaDisplay> OpenRenderNode();
};

}  // namespace mediaworkflow::encoder
