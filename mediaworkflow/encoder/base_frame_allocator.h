#pragma once

#include <list>
#include <mutex>

#include "mediaworkflow/encoder/mfx_frame_allocator.h"

namespace mediaworkflow::encoder {

// The bookkeeping every frame allocator shares: the request checks, the list of
// responses allocated for one component, and the reference-counted responses that
// the decoder, ENC and PAK stages share. The concrete allocator supplies the memory
// (AllocImpl / ReleaseFrameSet).
class BaseFrameAllocator : public MFXFrameAllocator {
 public:
  ~BaseFrameAllocator() override;

  // Releases every response still held.
  mfxStatus Close() override;
  mfxStatus AllocateFrameSet(mfxFrameAllocRequest* request,
                             mfxFrameAllocResponse* response) override;
  mfxStatus FreeFrameSet(mfxFrameAllocResponse* response) override;

 protected:
  // MFX_ERR_NULL_PTR for no request, MFX_ERR_UNSUPPORTED when the request names no
  // requesting component (none of the FROM_* bits 0x6F00).
  virtual mfxStatus CheckRequestKind(mfxFrameAllocRequest* request);
  virtual mfxStatus ReleaseFrameSet(mfxFrameAllocResponse* response) = 0;
  virtual mfxStatus AllocImpl(mfxFrameAllocRequest* request, mfxFrameAllocResponse* response) = 0;

  // A derived destructor must call this while its own state still exists: the base
  // destructor can no longer reach the derived ReleaseFrameSet.
  void ReleaseAll();

 private:
  struct SharedResponse {
    mfxFrameAllocResponse response;
    mfxU32 alloc_id;
    mfxU16 width;
    mfxU16 height;
    mfxU16 type;
    int references;
  };

  static bool IsShared(mfxU16 type);

  std::mutex mutex_;  // the lists; the SDK frees from its own threads
  std::list<mfxFrameAllocResponse> owned_;
  std::list<SharedResponse> shared_;
};

}  // namespace mediaworkflow::encoder
