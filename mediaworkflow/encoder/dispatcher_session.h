#pragma once

#include <memory>

#include <mfxvideo++.h>

#include "mediaworkflow/encoder/media_sdk_session.h"

namespace mediaworkflow::encoder {

// The real session: the Media SDK dispatcher's session and its encoder.
class DispatcherSession : public MediaSdkSession {
 public:
  ~DispatcherSession() override;

  mfxStatus Init(mfxIMPL impl, mfxVersion* version) override;
  mfxStatus Close() override;
  mfxStatus QueryIMPL(mfxIMPL* impl) override;
  mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) override;
  mfxStatus SetFrameAllocator(mfxFrameAllocator* allocator) override;
  mfxStatus SyncOperation(mfxSyncPoint syncp, mfxU32 wait_ms) override;

  void CreateEncoder() override;
  void DestroyEncoder() override;
  mfxStatus Query(mfxVideoParam* in, mfxVideoParam* out) override;
  mfxStatus QueryIOSurf(mfxVideoParam* param, mfxFrameAllocRequest* request) override;
  mfxStatus EncodeInit(mfxVideoParam* param) override;
  mfxStatus GetVideoParam(mfxVideoParam* param) override;
  mfxStatus EncodeFrameAsync(mfxEncodeCtrl* ctrl, mfxFrameSurface1* surface,
                             mfxBitstream* bitstream, mfxSyncPoint* syncp) override;

 private:
  MFXVideoSession session_;
  std::unique_ptr<MFXVideoENCODE> encoder_;
  bool open_ = false;
};

}  // namespace mediaworkflow::encoder
