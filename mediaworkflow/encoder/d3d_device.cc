#include "mediaworkflow/encoder/d3d_device.h"

namespace mediaworkflow::encoder {

CD3D9Device::~CD3D9Device() { Close(); }

mfxStatus CD3D9Device::Init(mfxHDL window, mfxU16, mfxU32) {
  Close();
  window_ = window;
  // No Direct3D 9Ex and DXVA2 here: there is no device to create.
  return MFX_ERR_DEVICE_FAILED;
}

mfxStatus CD3D9Device::Reset() {
  return device_ != nullptr ? MFX_ERR_NONE : MFX_ERR_NOT_INITIALIZED;
}

mfxStatus CD3D9Device::GetHandle(mfxHandleType type, mfxHDL* handle) {
  if (type != MFX_HANDLE_D3D9_DEVICE_MANAGER) return MFX_ERR_UNSUPPORTED;
  if (handle == nullptr) return MFX_ERR_NULL_PTR;
  if (device_ == nullptr) return MFX_ERR_NOT_INITIALIZED;
  *handle = device_;
  return MFX_ERR_NONE;
}

mfxStatus CD3D9Device::SetHandle(mfxHandleType type, mfxHDL handle) {
  if (type != kWindowHandleType || handle == nullptr) return MFX_ERR_UNSUPPORTED;
  window_ = handle;
  return MFX_ERR_NONE;
}

void CD3D9Device::Close() {
  device_ = nullptr;
  window_ = nullptr;
}

}  // namespace mediaworkflow::encoder
