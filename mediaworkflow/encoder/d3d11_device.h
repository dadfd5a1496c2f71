#pragma once

#include "mediaworkflow/encoder/hw_device.h"

namespace mediaworkflow::encoder {

// The Direct3D 11 device (with its video device and context) that the session's video-memory
// configuration runs on. DXGI and Direct3D 11 do not exist on this platform, so Init always
// fails with MFX_ERR_DEVICE_FAILED and the encoder goes on to its next memory
// configuration; the handle rules are kept so that callers see the same contract.
class CD3D11Device : public CHWDevice {
 public:
  ~CD3D11Device() override;

  mfxStatus Init(mfxHDL window, mfxU16 views, mfxU32 adapter_number) override;
  mfxStatus Reset() override;
  // Only MFX_HANDLE_D3D11_DEVICE is handed out, and only once a device exists.
  mfxStatus GetHandle(mfxHandleType type, mfxHDL* handle) override;
  // Takes only the window (kWindowHandleType, non-null).
  mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) override;
  void Close() override;

 private:
  mfxHDL device_ = nullptr;
  mfxHDL window_ = nullptr;
};

}  // namespace mediaworkflow::encoder
