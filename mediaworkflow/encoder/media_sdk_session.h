#pragma once

#include <mfxvideo.h>

namespace mediaworkflow::encoder {

// The handful of Media SDK session and encoder calls the Quick Sync back-end makes,
// behind one interface so that its memory-configuration loop and its encode loop can
// be driven by a scripted session where no Quick Sync device exists. The calls keep
// the SDK's names, arguments and status results.
class MediaSdkSession {
 public:
  virtual ~MediaSdkSession() = default;

  virtual mfxStatus Init(mfxIMPL impl, mfxVersion* version) = 0;
  // Closes the encoder (when made) and the session; harmless when not open.
  virtual mfxStatus Close() = 0;
  virtual mfxStatus QueryIMPL(mfxIMPL* impl) = 0;
  virtual mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) = 0;
  virtual mfxStatus SetFrameAllocator(mfxFrameAllocator* allocator) = 0;
  virtual mfxStatus SyncOperation(mfxSyncPoint syncp, mfxU32 wait_ms) = 0;

  // The encoder of the open session.
  virtual void CreateEncoder() = 0;
  virtual void DestroyEncoder() = 0;
  virtual mfxStatus Query(mfxVideoParam* in, mfxVideoParam* out) = 0;
  virtual mfxStatus QueryIOSurf(mfxVideoParam* param, mfxFrameAllocRequest* request) = 0;
  virtual mfxStatus EncodeInit(mfxVideoParam* param) = 0;
  virtual mfxStatus GetVideoParam(mfxVideoParam* param) = 0;
  virtual mfxStatus EncodeFrameAsync(mfxEncodeCtrl* ctrl, mfxFrameSurface1* surface,
                                     mfxBitstream* bitstream, mfxSyncPoint* syncp) = 0;
};

}  // namespace mediaworkflow::encoder
