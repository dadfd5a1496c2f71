#pragma once

#include <mfxvideo.h>

namespace mediaworkflow::encoder {

// Base of the records that configure a frame allocator's Init; each allocator takes
// its own kind and refuses the others.
struct mfxAllocatorParams {
  virtual ~mfxAllocatorParams() = default;
};

// A frame allocator as the Media SDK session sees it: record() is the C table of
// five entry points the session calls (from the encode thread and from its own
// workers), each forwarding to the virtual operation of this object.
class MFXFrameAllocator {
 public:
  MFXFrameAllocator();
  virtual ~MFXFrameAllocator() = default;
  MFXFrameAllocator(const MFXFrameAllocator&) = delete;
  MFXFrameAllocator& operator=(const MFXFrameAllocator&) = delete;

  virtual mfxStatus Init(mfxAllocatorParams* params) = 0;
  virtual mfxStatus Close() = 0;
  virtual mfxStatus AllocateFrameSet(mfxFrameAllocRequest* request,
                                     mfxFrameAllocResponse* response) = 0;
  virtual mfxStatus LockSurface(mfxMemId mid, mfxFrameData* data) = 0;
  virtual mfxStatus UnlockSurface(mfxMemId mid, mfxFrameData* data) = 0;
  virtual mfxStatus GetSurfaceHandle(mfxMemId mid, mfxHDL* handle) = 0;
  virtual mfxStatus FreeFrameSet(mfxFrameAllocResponse* response) = 0;

  // The table handed to the session's SetFrameAllocator; its pthis is this object.
  mfxFrameAllocator* record() { return &record_; }

 private:
  static mfxStatus MFX_CDECL AllocEntry(mfxHDL pthis, mfxFrameAllocRequest* request,
                                        mfxFrameAllocResponse* response);
  static mfxStatus MFX_CDECL LockEntry(mfxHDL pthis, mfxMemId mid, mfxFrameData* data);
  static mfxStatus MFX_CDECL UnlockEntry(mfxHDL pthis, mfxMemId mid, mfxFrameData* data);
  static mfxStatus MFX_CDECL GetHdlEntry(mfxHDL pthis, mfxMemId mid, mfxHDL* handle);
  static mfxStatus MFX_CDECL FreeEntry(mfxHDL pthis, mfxFrameAllocResponse* response);

  mfxFrameAllocator record_;
};

}  // namespace mediaworkflow::encoder
