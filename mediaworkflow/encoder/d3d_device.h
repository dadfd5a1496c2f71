#pragma once

#include "mediaworkflow/encoder/hw_device.h"

namespace mediaworkflow::encoder {

// The Direct3D 9Ex device and its DXVA2 device manager that the session's video-memory
// configuration runs on. Direct3D 9Ex and DXVA2 do not exist on this platform, so Init always
// fails with MFX_ERR_DEVICE_FAILED and the encoder goes on to its next memory
// configuration; the handle rules are kept so that callers see the same contract.
class CD3D9Device : public CHWDevice {
 public:
  ~CD3D9Device() override;

  mfxStatus Init(mfxHDL window, mfxU16 views, mfxU32 adapter_number) override;
  mfxStatus Reset() override;
  // Only MFX_HANDLE_D3D9_DEVICE_MANAGER is handed out, and only once a device exists.
  mfxStatus GetHandle(mfxHandleType type, mfxHDL* handle) override;
  // Takes only the window (kWindowHandleType, non-null).
  mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) override;
  void Close() override;

 private:
  mfxHDL device_ = nullptr;
  mfxHDL window_ = nullptr;
};

}  // namespace mediaworkflow::encoder
