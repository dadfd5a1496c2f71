#include "tests/mediaworkflow/scripted_media_sdk_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mediaworkflow::testing_util {

size_t SessionScript::Count(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex);
  return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

ScriptedMediaSdkSession::ScriptedMediaSdkSession(std::shared_ptr<SessionScript> script)
    : script_(std::move(script)) {}

mfxStatus ScriptedMediaSdkSession::Next(const std::string& call) {
  script_->calls.push_back(call);
  auto& list = script_->results[call];
  if (list.empty()) return MFX_ERR_NONE;
  const mfxStatus sts = list.front();
  list.pop_front();
  return sts;
}

mfxStatus ScriptedMediaSdkSession::Init(mfxIMPL impl, mfxVersion*) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  char name[32];
  std::snprintf(name, sizeof(name), "Init 0x%x", static_cast<unsigned>(impl));
  script_->calls.push_back(name);
  const auto& no = script_->unsupported_impls;
  if (std::find(no.begin(), no.end(), impl) != no.end()) return MFX_ERR_UNSUPPORTED;
  const mfxStatus sts = Next("Init");
  script_->calls.pop_back();  // one entry per Init: the one with the implementation
  if (sts >= MFX_ERR_NONE) impl_ = impl;
  return sts;
}

mfxStatus ScriptedMediaSdkSession::Close() {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->calls.push_back("Close");
  impl_ = 0;
  return MFX_ERR_NONE;
}

mfxStatus ScriptedMediaSdkSession::QueryIMPL(mfxIMPL* impl) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->calls.push_back("QueryIMPL");
  *impl = MFX_IMPL_HARDWARE | (impl_ & 0xFF00);
  return MFX_ERR_NONE;
}

mfxStatus ScriptedMediaSdkSession::SetHandle(mfxHandleType type, mfxHDL handle) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->handles.emplace_back(type, handle);
  return Next("SetHandle");
}

mfxStatus ScriptedMediaSdkSession::SetFrameAllocator(mfxFrameAllocator*) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  return Next("SetFrameAllocator");
}

void ScriptedMediaSdkSession::CreateEncoder() {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->calls.push_back("CreateEncoder");
}

void ScriptedMediaSdkSession::DestroyEncoder() {}

mfxStatus ScriptedMediaSdkSession::Query(mfxVideoParam* in, mfxVideoParam* out) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->queried = *in;
  script_->queried_ext_count = in->NumExtParam;
  if (in->NumExtParam == 1 && in->ExtParam[0]->BufferId == MFX_EXTBUFF_CODING_OPTION) {
    std::memcpy(&script_->queried_option, in->ExtParam[0], sizeof(mfxExtCodingOption));
  }
  script_->queried.ExtParam = nullptr;
  if (out != in) *out = *in;
  return Next("Query");
}

mfxStatus ScriptedMediaSdkSession::QueryIOSurf(mfxVideoParam* param,
                                               mfxFrameAllocRequest* request) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  *request = mfxFrameAllocRequest{};
  request->Info = param->mfx.FrameInfo;
  request->Type = MFX_MEMTYPE_FROM_ENCODE | MFX_MEMTYPE_EXTERNAL_FRAME |
                  (param->IOPattern == MFX_IOPATTERN_IN_SYSTEM_MEMORY
                       ? MFX_MEMTYPE_SYSTEM_MEMORY
                       : MFX_MEMTYPE_VIDEO_MEMORY_PROCESSOR_TARGET);
  request->NumFrameMin = script_->frames_suggested;
  request->NumFrameSuggested = script_->frames_suggested;
  return Next("QueryIOSurf");
}

mfxStatus ScriptedMediaSdkSession::EncodeInit(mfxVideoParam*) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  return Next("EncodeInit");
}

mfxStatus ScriptedMediaSdkSession::GetVideoParam(mfxVideoParam* param) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  param->mfx.BufferSizeInKB = script_->buffer_size_kb;
  return Next("GetVideoParam");
}

mfxStatus ScriptedMediaSdkSession::EncodeFrameAsync(mfxEncodeCtrl* ctrl, mfxFrameSurface1* surface,
                                                    mfxBitstream* bitstream, mfxSyncPoint* syncp) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  script_->frame_types.push_back(ctrl != nullptr ? ctrl->FrameType : 0);
  script_->max_lengths.push_back(bitstream->MaxLength);
  script_->first_luma.push_back(surface->Data.Y != nullptr ? surface->Data.Y[0] : 0);
  const mfxStatus sts = Next("EncodeFrameAsync");
  const auto& no = script_->no_sync_point_for;
  if (sts < MFX_ERR_NONE || std::find(no.begin(), no.end(), sts) != no.end()) return sts;
  if (script_->hold_surfaces) ++surface->Data.Locked;
  pending_ = bitstream;
  pending_key_ = ctrl != nullptr && (ctrl->FrameType & MFX_FRAMETYPE_IDR) != 0;
  *syncp = reinterpret_cast<mfxSyncPoint>(this);
  return sts;
}

mfxStatus ScriptedMediaSdkSession::SyncOperation(mfxSyncPoint syncp, mfxU32) {
  std::lock_guard<std::mutex> lock(script_->mutex);
  const mfxStatus sts = Next("SyncOperation");
  if (sts != MFX_ERR_NONE || pending_ == nullptr || syncp != reinterpret_cast<mfxSyncPoint>(this)) {
    return sts;
  }
  mfxBitstream* bs = pending_;
  pending_ = nullptr;
  const size_t n = script_->payload_size;
  if (n > bs->MaxLength - bs->DataOffset - bs->DataLength) return MFX_ERR_NOT_ENOUGH_BUFFER;
  uint8_t* out = bs->Data + bs->DataOffset + bs->DataLength;
  std::memset(out, static_cast<uint8_t>(encoded_++), n);
  const uint8_t header[] = {0, 0, 0, 1, static_cast<uint8_t>(pending_key_ ? 0x65 : 0x41)};
  std::memcpy(out, header, std::min(n, sizeof(header)));
  bs->DataLength += static_cast<mfxU32>(n);
  return MFX_ERR_NONE;
}

}  // namespace mediaworkflow::testing_util
