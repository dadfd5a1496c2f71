#pragma once

#include "mediaworkflow/encoder/base_frame_allocator.h"

namespace mediaworkflow::encoder {

struct D3DAllocatorParams : mfxAllocatorParams {
  mfxHDL manager = nullptr;  // the DXVA2 device manager
  mfxU32 surface_usage = 0;
};

// Video-memory frames as DXVA2 surfaces of the Direct3D 9 device manager.
// The graphics interface behind them does not exist on this platform: Init fails
// with MFX_ERR_DEVICE_FAILED once it has the parameters it needs, and nothing is
// ever allocated. The request checks are the real ones.
class D3DFrameAllocator : public BaseFrameAllocator {
 public:
  ~D3DFrameAllocator() override;

  // Only D3DAllocatorParams with a manager; anything else is MFX_ERR_NOT_INITIALIZED.
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
