#include "mediaworkflow/encoder/mfx_frame_allocator.h"

namespace mediaworkflow::encoder {

MFXFrameAllocator::MFXFrameAllocator() : record_{} {
  record_.pthis = this;
  record_.Alloc = &AllocEntry;
  record_.Lock = &LockEntry;
  record_.Unlock = &UnlockEntry;
  record_.GetHDL = &GetHdlEntry;
  record_.Free = &FreeEntry;
}

// A null object pointer is the session calling through a table that was never set
// up; it gets the allocation error rather than a crash.
mfxStatus MFXFrameAllocator::AllocEntry(mfxHDL pthis, mfxFrameAllocRequest* request,
                                        mfxFrameAllocResponse* response) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXFrameAllocator*>(pthis)->AllocateFrameSet(request, response);
}

mfxStatus MFXFrameAllocator::LockEntry(mfxHDL pthis, mfxMemId mid, mfxFrameData* data) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXFrameAllocator*>(pthis)->LockSurface(mid, data);
}

mfxStatus MFXFrameAllocator::UnlockEntry(mfxHDL pthis, mfxMemId mid, mfxFrameData* data) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXFrameAllocator*>(pthis)->UnlockSurface(mid, data);
}

mfxStatus MFXFrameAllocator::GetHdlEntry(mfxHDL pthis, mfxMemId mid, mfxHDL* handle) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXFrameAllocator*>(pthis)->GetSurfaceHandle(mid, handle);
}

mfxStatus MFXFrameAllocator::FreeEntry(mfxHDL pthis, mfxFrameAllocResponse* response) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXFrameAllocator*>(pthis)->FreeFrameSet(response);
}

}  // namespace mediaworkflow::encoder
