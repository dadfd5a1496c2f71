#pragma once

#include "mediaworkflow/encoder/base_frame_allocator.h"

namespace mediaworkflow::encoder {

struct D3D11AllocatorParams : mfxAllocatorParams {
  mfxHDL device = nullptr;  // the Direct3D 11 device
  bool use_single_texture = false;
  mfxU32 misc_flags = 0;  // for uncompressed resources
};

// Video-memory frames as Direct3D 11 textures (each with a CPU-side staging copy).
// The graphics interface behind them does not exist on this platform: Init fails
// with MFX_ERR_DEVICE_FAILED once it has the parameters it needs, and nothing is
// ever allocated. The request checks are the real ones.
class D3D11FrameAllocator : public BaseFrameAllocator {
 public:
  ~D3D11FrameAllocator() override;

  // Only D3D11AllocatorParams with a device; anything else is MFX_ERR_NOT_INITIALIZED.
  mfxStatus Init(mfxAllocatorParams* params) override;
  mfxStatus LockSurface(mfxMemId mid, mfxFrameData* data) override;
  mfxStatus UnlockSurface(mfxMemId mid, mfxFrameData* data) override;
  mfxStatus GetSurfaceHandle(mfxMemId mid, mfxHDL* handle) override;

 protected:
  // Besides the base checks, the frames must be a video-memory target.
  mfxStatus CheckRequestKind(mfxFrameAllocRequest* request) override;
  mfxStatus ReleaseFrameSet(mfxFrameAllocResponse* response) override;
  mfxStatus AllocImpl(mfxFrameAllocRequest* request, mfxFrameAllocResponse* response) override;
};

}  // namespace mediaworkflow::encoder
