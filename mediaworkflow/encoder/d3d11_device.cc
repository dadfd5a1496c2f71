#include "mediaworkflow/encoder/d3d11_device.h"

namespace mediaworkflow::encoder {

CD3D11Device::~CD3D11Device() { Close(); }

mfxStatus CD3D11Device::Init(mfxHDL window, mfxU16, mfxU32) {
  Close();
  window_ = window;
  // No DXGI and Direct3D 11 here: there is no device to create.
  return MFX_ERR_DEVICE_FAILED;
}

mfxStatus CD3D11Device::Reset() {
  return device_ != nullptr ? MFX_ERR_NONE : MFX_ERR_NOT_INITIALIZED;
}

mfxStatus CD3D11Device::GetHandle(mfxHandleType type, mfxHDL* handle) {
  if (type != MFX_HANDLE_D3D11_DEVICE) return MFX_ERR_UNSUPPORTED;
  if (handle == nullptr) return MFX_ERR_NULL_PTR;
  if (device_ == nullptr) return MFX_ERR_NOT_INITIALIZED;
  *handle = device_;
  return MFX_ERR_NONE;
}

mfxStatus CD3D11Device::SetHandle(mfxHandleType type, mfxHDL handle) {
  if (type != kWindowHandleType || handle == nullptr) return MFX_ERR_UNSUPPORTED;
  window_ = handle;
  return MFX_ERR_NONE;
}

void CD3D11Device::Close() {
  device_ = nullptr;
  window_ = nullptr;
}

}  // namespace mediaworkflow::encoder
