#pragma once

#include <mfxvideo.h>

namespace mediaworkflow::encoder {

// The handle type under which a device takes the window it renders to.
constexpr mfxHandleType kWindowHandleType = static_cast<mfxHandleType>(257);

// A graphics device whose handle the Media SDK session works on for video memory.
// The encoder creates it without a window; rendering is not part of this interface.
class CHWDevice {
 public:
  virtual ~CHWDevice() = default;
  // `window` may be null (no rendering); `views` is 2 for stereo output.
  virtual mfxStatus Init(mfxHDL window, mfxU16 views, mfxU32 adapter_number) = 0;
  virtual mfxStatus Reset() = 0;
  virtual mfxStatus GetHandle(mfxHandleType type, mfxHDL* handle) = 0;
  virtual mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) = 0;
  virtual void Close() = 0;
};

}  // namespace mediaworkflow::encoder
