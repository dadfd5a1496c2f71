#include "mediaworkflow/encoder/d3d11_frame_allocator.h"

namespace mediaworkflow::encoder {

D3D11FrameAllocator::~D3D11FrameAllocator() { ReleaseAll(); }

mfxStatus D3D11FrameAllocator::Init(mfxAllocatorParams* params) {
  auto* own = dynamic_cast<D3D11AllocatorParams*>(params);
  if (own == nullptr || own->device == nullptr) return MFX_ERR_NOT_INITIALIZED;
  return MFX_ERR_DEVICE_FAILED;
}

mfxStatus D3D11FrameAllocator::CheckRequestKind(mfxFrameAllocRequest* request) {
  const mfxStatus sts = BaseFrameAllocator::CheckRequestKind(request);
  if (sts != MFX_ERR_NONE) return sts;
  constexpr mfxU16 kVideoTargets =
      MFX_MEMTYPE_VIDEO_MEMORY_DECODER_TARGET | MFX_MEMTYPE_VIDEO_MEMORY_PROCESSOR_TARGET;
  return (request->Type & kVideoTargets) != 0 ? MFX_ERR_NONE : MFX_ERR_UNSUPPORTED;
}

// Never initialised, so there is no frame to allocate, lock or name.
mfxStatus D3D11FrameAllocator::AllocImpl(mfxFrameAllocRequest*, mfxFrameAllocResponse*) {
  return MFX_ERR_NOT_INITIALIZED;
}

mfxStatus D3D11FrameAllocator::ReleaseFrameSet(mfxFrameAllocResponse*) { return MFX_ERR_NONE; }

mfxStatus D3D11FrameAllocator::LockSurface(mfxMemId, mfxFrameData*) {
  return MFX_ERR_NOT_INITIALIZED;
}

mfxStatus D3D11FrameAllocator::UnlockSurface(mfxMemId, mfxFrameData*) {
  return MFX_ERR_NOT_INITIALIZED;
}

mfxStatus D3D11FrameAllocator::GetSurfaceHandle(mfxMemId, mfxHDL*) {
  return MFX_ERR_INVALID_HANDLE;
}

}  // namespace mediaworkflow::encoder
