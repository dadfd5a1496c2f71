#pragma once

#include <mfxvideo.h>

namespace mediaworkflow::encoder {

// A buffer allocator in the shape of the Media SDK's mfxBufferAllocator table: the
// four entry points forward to the virtual operations of this object.
class MFXBufferAllocator {
 public:
  MFXBufferAllocator();
  virtual ~MFXBufferAllocator() = default;
  MFXBufferAllocator(const MFXBufferAllocator&) = delete;
  MFXBufferAllocator& operator=(const MFXBufferAllocator&) = delete;

  virtual mfxStatus AllocBuffer(mfxU32 nbytes, mfxU16 type, mfxMemId* mid) = 0;
  virtual mfxStatus LockBuffer(mfxMemId mid, mfxU8** ptr) = 0;
  virtual mfxStatus UnlockBuffer(mfxMemId mid) = 0;
  virtual mfxStatus FreeBuffer(mfxMemId mid) = 0;

  mfxBufferAllocator* record() { return &record_; }

 private:
  static mfxStatus MFX_CDECL AllocEntry(mfxHDL pthis, mfxU32 nbytes, mfxU16 type, mfxMemId* mid);
  static mfxStatus MFX_CDECL LockEntry(mfxHDL pthis, mfxMemId mid, mfxU8** ptr);
  static mfxStatus MFX_CDECL UnlockEntry(mfxHDL pthis, mfxMemId mid);
  static mfxStatus MFX_CDECL FreeEntry(mfxHDL pthis, mfxMemId mid);

  mfxBufferAllocator record_;
};

}  // namespace mediaworkflow::encoder
