#include "mediaworkflow/encoder/base_frame_allocator.h"

namespace mediaworkflow::encoder {

namespace {

// The components that may ask for frames.
constexpr mfxU16 kRequesterBits = MFX_MEMTYPE_FROM_ENCODE | MFX_MEMTYPE_FROM_DECODE |
                                  MFX_MEMTYPE_FROM_VPPIN | MFX_MEMTYPE_FROM_VPPOUT |
                                  MFX_MEMTYPE_FROM_ENC | MFX_MEMTYPE_FROM_PAK;
// Where the frames live.
constexpr mfxU16 kLocationBits = MFX_MEMTYPE_VIDEO_MEMORY_DECODER_TARGET |
                                 MFX_MEMTYPE_VIDEO_MEMORY_PROCESSOR_TARGET |
                                 MFX_MEMTYPE_SYSTEM_MEMORY;

bool SameResponse(const mfxFrameAllocResponse& a, const mfxFrameAllocResponse& b) {
  return a.mids == b.mids && a.NumFrameActual == b.NumFrameActual;
}

}  // namespace

BaseFrameAllocator::~BaseFrameAllocator() = default;

bool BaseFrameAllocator::IsShared(mfxU16 type) {
  // External frames of the decoder, ENC or PAK, and internal frames of ENC or PAK,
  // are the same frames for every component of the pipeline that asks.
  const bool external =
      (type & MFX_MEMTYPE_EXTERNAL_FRAME) != 0 &&
      (type & (MFX_MEMTYPE_FROM_DECODE | MFX_MEMTYPE_FROM_ENC | MFX_MEMTYPE_FROM_PAK)) != 0;
  const bool internal = (type & MFX_MEMTYPE_INTERNAL_FRAME) != 0 &&
                        (type & (MFX_MEMTYPE_FROM_ENC | MFX_MEMTYPE_FROM_PAK)) != 0;
  return external || internal;
}

mfxStatus BaseFrameAllocator::CheckRequestKind(mfxFrameAllocRequest* request) {
  if (request == nullptr) return MFX_ERR_NULL_PTR;
  if ((request->Type & kRequesterBits) == 0) return MFX_ERR_UNSUPPORTED;
  return MFX_ERR_NONE;
}

mfxStatus BaseFrameAllocator::AllocateFrameSet(mfxFrameAllocRequest* request,
                                               mfxFrameAllocResponse* response) {
  if (request == nullptr || response == nullptr || request->NumFrameSuggested == 0) {
    return MFX_ERR_MEMORY_ALLOC;
  }
  if (CheckRequestKind(request) != MFX_ERR_NONE) return MFX_ERR_UNSUPPORTED;

  std::lock_guard<std::mutex> lock(mutex_);
  if (IsShared(request->Type)) {
    for (SharedResponse& s : shared_) {
      if (s.alloc_id == request->AllocId && s.width >= request->Info.Width &&
          s.height >= request->Info.Height &&
          (s.type & request->Type & kLocationBits) == (request->Type & kLocationBits)) {
        if (s.response.NumFrameActual < request->NumFrameSuggested) return MFX_ERR_MEMORY_ALLOC;
        ++s.references;
        *response = s.response;
        return MFX_ERR_NONE;
      }
    }
    const mfxStatus sts = AllocImpl(request, response);
    if (sts != MFX_ERR_NONE) return sts;
    response->AllocId = request->AllocId;
    shared_.push_back(SharedResponse{*response, request->AllocId, request->Info.Width,
                                     request->Info.Height, request->Type, 1});
    return MFX_ERR_NONE;
  }
  const mfxStatus sts = AllocImpl(request, response);
  if (sts != MFX_ERR_NONE) return sts;
  response->AllocId = request->AllocId;
  owned_.push_back(*response);
  return MFX_ERR_NONE;
}

mfxStatus BaseFrameAllocator::FreeFrameSet(mfxFrameAllocResponse* response) {
  if (response == nullptr) return MFX_ERR_NULL_PTR;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = shared_.begin(); it != shared_.end(); ++it) {
    if (!SameResponse(it->response, *response)) continue;
    if (--it->references > 0) return MFX_ERR_NONE;
    mfxFrameAllocResponse held = it->response;
    shared_.erase(it);
    return ReleaseFrameSet(&held);
  }
  for (auto it = owned_.begin(); it != owned_.end(); ++it) {
    if (!SameResponse(*it, *response)) continue;
    mfxFrameAllocResponse held = *it;
    owned_.erase(it);
    return ReleaseFrameSet(&held);
  }
  return MFX_ERR_INVALID_HANDLE;
}

void BaseFrameAllocator::ReleaseAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (mfxFrameAllocResponse& r : owned_) ReleaseFrameSet(&r);
  owned_.clear();
  for (SharedResponse& s : shared_) ReleaseFrameSet(&s.response);
  shared_.clear();
}

mfxStatus BaseFrameAllocator::Close() {
  ReleaseAll();
  return MFX_ERR_NONE;
}

}  // namespace mediaworkflow::encoder
