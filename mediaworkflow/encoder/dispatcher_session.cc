#include "mediaworkflow/encoder/dispatcher_session.h"

namespace mediaworkflow::encoder {

DispatcherSession::~DispatcherSession() { Close(); }

mfxStatus DispatcherSession::Init(mfxIMPL impl, mfxVersion* version) {
  Close();
  const mfxStatus sts = session_.Init(impl, version);
  // A warning (partial acceleration, for one) still made a session: it is open, and
  // Close must close it.
  open_ = sts >= MFX_ERR_NONE;
  return sts;
}

mfxStatus DispatcherSession::Close() {
  DestroyEncoder();
  if (!open_) return MFX_ERR_NONE;
  open_ = false;
  return session_.Close();
}

mfxStatus DispatcherSession::QueryIMPL(mfxIMPL* impl) {
  if (!open_) return MFX_ERR_NOT_INITIALIZED;
  return session_.QueryIMPL(impl);
}

mfxStatus DispatcherSession::SetHandle(mfxHandleType type, mfxHDL handle) {
  if (!open_) return MFX_ERR_NOT_INITIALIZED;
  return session_.SetHandle(type, handle);
}

mfxStatus DispatcherSession::SetFrameAllocator(mfxFrameAllocator* allocator) {
  if (!open_) return MFX_ERR_NOT_INITIALIZED;
  return session_.SetFrameAllocator(allocator);
}

mfxStatus DispatcherSession::SyncOperation(mfxSyncPoint syncp, mfxU32 wait_ms) {
  if (!open_) return MFX_ERR_NOT_INITIALIZED;
  return session_.SyncOperation(syncp, wait_ms);
}

void DispatcherSession::CreateEncoder() {
  DestroyEncoder();
  if (open_) encoder_ = std::make_unique<MFXVideoENCODE>(static_cast<mfxSession>(session_));
}

void DispatcherSession::DestroyEncoder() { encoder_.reset(); }  // its destructor closes it

mfxStatus DispatcherSession::Query(mfxVideoParam* in, mfxVideoParam* out) {
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  return encoder_->Query(in, out);
}

mfxStatus DispatcherSession::QueryIOSurf(mfxVideoParam* param, mfxFrameAllocRequest* request) {
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  return encoder_->QueryIOSurf(param, request);
}

mfxStatus DispatcherSession::EncodeInit(mfxVideoParam* param) {
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  return encoder_->Init(param);
}

mfxStatus DispatcherSession::GetVideoParam(mfxVideoParam* param) {
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  return encoder_->GetVideoParam(param);
}

mfxStatus DispatcherSession::EncodeFrameAsync(mfxEncodeCtrl* ctrl, mfxFrameSurface1* surface,
                                              mfxBitstream* bitstream, mfxSyncPoint* syncp) {
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  return encoder_->EncodeFrameAsync(ctrl, surface, bitstream, syncp);
}

}  // namespace mediaworkflow::encoder
