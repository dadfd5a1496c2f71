#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

#include "mediaworkflow/encoder/base_frame_allocator.h"
#include "mediaworkflow/encoder/mfx_buffer_allocator.h"

namespace mediaworkflow::encoder {

// Init parameters of the system-memory allocator: the buffer allocator to take the
// frames from, or none for one of its own.
struct SysMemAllocatorParams : mfxAllocatorParams {
  MFXBufferAllocator* buffer_allocator = nullptr;
};

// Frames in plain memory, one buffer of the buffer allocator per frame. Width and
// height are aligned up to 32; locking a frame points its planes into the buffer.
class SysMemFrameAllocator : public BaseFrameAllocator {
 public:
  SysMemFrameAllocator();
  ~SysMemFrameAllocator() override;

  // Bytes of one frame of `fourcc` at the (already aligned) size; 0 for a format
  // this allocator does not lay out.
  static size_t FrameSize(mfxU32 fourcc, mfxU32 width, mfxU32 height);

  mfxStatus Init(mfxAllocatorParams* params) override;
  mfxStatus Close() override;
  mfxStatus LockSurface(mfxMemId mid, mfxFrameData* data) override;
  mfxStatus UnlockSurface(mfxMemId mid, mfxFrameData* data) override;
  mfxStatus GetSurfaceHandle(mfxMemId mid, mfxHDL* handle) override;

 protected:
  mfxStatus CheckRequestKind(mfxFrameAllocRequest* request) override;
  mfxStatus ReleaseFrameSet(mfxFrameAllocResponse* response) override;
  mfxStatus AllocImpl(mfxFrameAllocRequest* request, mfxFrameAllocResponse* response) override;

 private:
  struct FrameLayout {
    mfxU32 fourcc;
    mfxU32 width;   // aligned
    mfxU32 height;  // aligned
  };

  MFXBufferAllocator* buffers_ = nullptr;
  std::unique_ptr<MFXBufferAllocator> own_buffers_;
  std::mutex mutex_;  // frames_; the SDK locks from its own threads
  std::map<mfxMemId, FrameLayout> frames_;
};

}  // namespace mediaworkflow::encoder
