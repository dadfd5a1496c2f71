#include "mediaworkflow/encoder/mfx_buffer_allocator.h"

namespace mediaworkflow::encoder {

MFXBufferAllocator::MFXBufferAllocator() : record_{} {
  record_.pthis = this;
  record_.Alloc = &AllocEntry;
  record_.Lock = &LockEntry;
  record_.Unlock = &UnlockEntry;
  record_.Free = &FreeEntry;
}

mfxStatus MFXBufferAllocator::AllocEntry(mfxHDL pthis, mfxU32 nbytes, mfxU16 type, mfxMemId* mid) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXBufferAllocator*>(pthis)->AllocBuffer(nbytes, type, mid);
}

mfxStatus MFXBufferAllocator::LockEntry(mfxHDL pthis, mfxMemId mid, mfxU8** ptr) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXBufferAllocator*>(pthis)->LockBuffer(mid, ptr);
}

mfxStatus MFXBufferAllocator::UnlockEntry(mfxHDL pthis, mfxMemId mid) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXBufferAllocator*>(pthis)->UnlockBuffer(mid);
}

mfxStatus MFXBufferAllocator::FreeEntry(mfxHDL pthis, mfxMemId mid) {
  if (pthis == nullptr) return MFX_ERR_MEMORY_ALLOC;
  return static_cast<MFXBufferAllocator*>(pthis)->FreeBuffer(mid);
}

}  // namespace mediaworkflow::encoder
