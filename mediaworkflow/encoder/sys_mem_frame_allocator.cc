#include "mediaworkflow/encoder/sys_mem_frame_allocator.h"

#include <new>

#include "mediaworkflow/encoder/sys_mem_buffer_allocator.h"

namespace mediaworkflow::encoder {

namespace {

mfxU32 Align32(mfxU32 v) { return (v + 31) & ~31u; }

void SetPitch(mfxFrameData* data, size_t pitch) {
  data->PitchHigh = static_cast<mfxU16>(pitch >> 16);
  data->PitchLow = static_cast<mfxU16>(pitch & 0xFFFF);
}

}  // namespace

SysMemFrameAllocator::SysMemFrameAllocator() = default;

SysMemFrameAllocator::~SysMemFrameAllocator() { ReleaseAll(); }

size_t SysMemFrameAllocator::FrameSize(mfxU32 fourcc, mfxU32 width, mfxU32 height) {
  const size_t pixels = static_cast<size_t>(width) * height;
  switch (fourcc) {
    case MFX_FOURCC_NV12:
    case MFX_FOURCC_YV12:
      return pixels * 3 / 2;
    case MFX_FOURCC_YUY2:
    case MFX_FOURCC_UYVY:
    case MFX_FOURCC_NV16:
    case MFX_FOURCC_R16:
      return pixels * 2;
    case MFX_FOURCC_RGB3:
    case MFX_FOURCC_P010:  // two bytes per sample, 4:2:0
      return pixels * 3;
    case MFX_FOURCC_RGB4:
    case MFX_FOURCC_AYUV:
    case MFX_FOURCC_A2RGB10:
    case MFX_FOURCC_Y210:
    case MFX_FOURCC_Y410:
      return pixels * 4;
    default:
      return 0;
  }
}

mfxStatus SysMemFrameAllocator::Init(mfxAllocatorParams* params) {
  auto* sys = dynamic_cast<SysMemAllocatorParams*>(params);
  if (sys != nullptr && sys->buffer_allocator != nullptr) {
    buffers_ = sys->buffer_allocator;
    return MFX_ERR_NONE;
  }
  if (!own_buffers_) {
    own_buffers_.reset(new (std::nothrow) SysMemBufferAllocator());
    if (!own_buffers_) return MFX_ERR_MEMORY_ALLOC;
  }
  buffers_ = own_buffers_.get();
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::Close() {
  ReleaseAll();
  buffers_ = nullptr;
  own_buffers_.reset();
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::CheckRequestKind(mfxFrameAllocRequest* request) {
  const mfxStatus sts = BaseFrameAllocator::CheckRequestKind(request);
  if (sts != MFX_ERR_NONE) return sts;
  return (request->Type & MFX_MEMTYPE_SYSTEM_MEMORY) != 0 ? MFX_ERR_NONE : MFX_ERR_UNSUPPORTED;
}

mfxStatus SysMemFrameAllocator::AllocImpl(mfxFrameAllocRequest* request,
                                          mfxFrameAllocResponse* response) {
  if (buffers_ == nullptr) return MFX_ERR_NOT_INITIALIZED;
  const FrameLayout layout{request->Info.FourCC, Align32(request->Info.Width),
                           Align32(request->Info.Height)};
  const size_t size = FrameSize(layout.fourcc, layout.width, layout.height);
  if (size == 0) return MFX_ERR_UNSUPPORTED;
  if (size > 0xFFFFFFFFu) return MFX_ERR_MEMORY_ALLOC;

  const mfxU16 count = request->NumFrameSuggested;
  auto* mids = new (std::nothrow) mfxMemId[count]();
  if (mids == nullptr) return MFX_ERR_MEMORY_ALLOC;
  for (mfxU16 i = 0; i < count; ++i) {
    const mfxStatus sts = buffers_->AllocBuffer(static_cast<mfxU32>(size), request->Type, &mids[i]);
    if (sts != MFX_ERR_NONE) {
      for (mfxU16 j = 0; j < i; ++j) buffers_->FreeBuffer(mids[j]);
      delete[] mids;
      return MFX_ERR_MEMORY_ALLOC;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (mfxU16 i = 0; i < count; ++i) frames_[mids[i]] = layout;
  }
  response->mids = mids;
  response->NumFrameActual = count;
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::ReleaseFrameSet(mfxFrameAllocResponse* response) {
  if (response == nullptr) return MFX_ERR_NULL_PTR;
  if (response->mids != nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (mfxU16 i = 0; i < response->NumFrameActual; ++i) {
      if (response->mids[i] == nullptr) continue;
      frames_.erase(response->mids[i]);
      if (buffers_ != nullptr) buffers_->FreeBuffer(response->mids[i]);
    }
  }
  delete[] response->mids;
  response->mids = nullptr;
  response->NumFrameActual = 0;
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::LockSurface(mfxMemId mid, mfxFrameData* data) {
  if (data == nullptr) return MFX_ERR_NULL_PTR;
  if (buffers_ == nullptr) return MFX_ERR_NOT_INITIALIZED;
  FrameLayout f;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = frames_.find(mid);
    if (it == frames_.end()) return MFX_ERR_INVALID_HANDLE;
    f = it->second;
  }
  mfxU8* p = nullptr;
  const mfxStatus sts = buffers_->LockBuffer(mid, &p);
  if (sts != MFX_ERR_NONE) return sts;

  const size_t w = f.width;
  const size_t plane = w * f.height;
  switch (f.fourcc) {
    case MFX_FOURCC_NV12:
    case MFX_FOURCC_NV16:
      data->Y = p;
      data->UV = p + plane;
      data->V = data->UV + 1;
      SetPitch(data, w);
      break;
    case MFX_FOURCC_YV12:
      data->Y = p;
      data->V = p + plane;
      data->U = data->V + (w / 2) * (f.height / 2);
      SetPitch(data, w);
      break;
    case MFX_FOURCC_P010:
      data->Y = p;
      data->UV = p + plane * 2;
      data->V = data->UV + 2;
      SetPitch(data, w * 2);
      break;
    case MFX_FOURCC_YUY2:
      data->Y = p;
      data->U = p + 1;
      data->V = p + 3;
      SetPitch(data, w * 2);
      break;
    case MFX_FOURCC_UYVY:
      data->U = p;
      data->Y = p + 1;
      data->V = p + 2;
      SetPitch(data, w * 2);
      break;
    case MFX_FOURCC_R16:
      data->Y = p;
      SetPitch(data, w * 2);
      break;
    case MFX_FOURCC_RGB3:
      data->B = p;
      data->G = p + 1;
      data->R = p + 2;
      SetPitch(data, w * 3);
      break;
    case MFX_FOURCC_RGB4:
      data->B = p;
      data->G = p + 1;
      data->R = p + 2;
      data->A = p + 3;
      SetPitch(data, w * 4);
      break;
    case MFX_FOURCC_AYUV:
      data->V = p;
      data->U = p + 1;
      data->Y = p + 2;
      data->A = p + 3;
      SetPitch(data, w * 4);
      break;
    case MFX_FOURCC_Y210:
      data->Y = p;
      data->U = p + 2;
      data->V = p + 6;
      SetPitch(data, w * 4);
      break;
    default:  // A2RGB10, Y410: one packed 32-bit word per pixel
      data->Y = p;
      SetPitch(data, w * 4);
      break;
  }
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::UnlockSurface(mfxMemId mid, mfxFrameData* data) {
  if (buffers_ == nullptr) return MFX_ERR_NOT_INITIALIZED;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (frames_.count(mid) == 0) return MFX_ERR_INVALID_HANDLE;
  }
  const mfxStatus sts = buffers_->UnlockBuffer(mid);
  if (sts != MFX_ERR_NONE) return sts;
  if (data != nullptr) {
    data->Y = nullptr;
    data->UV = nullptr;
    data->V = nullptr;
    data->A = nullptr;
    SetPitch(data, 0);
  }
  return MFX_ERR_NONE;
}

mfxStatus SysMemFrameAllocator::GetSurfaceHandle(mfxMemId, mfxHDL*) {
  // Plain memory has no device handle behind it.
  return MFX_ERR_UNSUPPORTED;
}

}  // namespace mediaworkflow::encoder
