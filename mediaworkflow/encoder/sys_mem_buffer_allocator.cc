#include "mediaworkflow/encoder/sys_mem_buffer_allocator.h"

#include <cstring>
#include <new>

namespace mediaworkflow::encoder {

namespace {

struct BufferHeader {
  mfxU32 id;
  mfxU32 nbytes;
  mfxU16 type;
};
static_assert(sizeof(BufferHeader) <= SysMemBufferAllocator::kHeaderSize);

constexpr std::align_val_t kAlignment{64};

mfxStatus CheckBlock(mfxMemId mid) {
  if (mid == nullptr) return MFX_ERR_NULL_PTR;
  BufferHeader header;
  std::memcpy(&header, mid, sizeof(header));
  return header.id == SysMemBufferAllocator::kBufferId ? MFX_ERR_NONE : MFX_ERR_INVALID_HANDLE;
}

}  // namespace

mfxStatus SysMemBufferAllocator::AllocBuffer(mfxU32 nbytes, mfxU16 type, mfxMemId* mid) {
  if (mid == nullptr) return MFX_ERR_NULL_PTR;
  const size_t size = kHeaderSize + static_cast<size_t>(nbytes);
  void* block = ::operator new(size, kAlignment, std::nothrow);
  if (block == nullptr) return MFX_ERR_MEMORY_ALLOC;
  std::memset(block, 0, size);
  const BufferHeader header{kBufferId, nbytes, type};
  std::memcpy(block, &header, sizeof(header));
  *mid = block;
  return MFX_ERR_NONE;
}

mfxStatus SysMemBufferAllocator::LockBuffer(mfxMemId mid, mfxU8** ptr) {
  if (ptr == nullptr) return MFX_ERR_NULL_PTR;
  const mfxStatus sts = CheckBlock(mid);
  if (sts != MFX_ERR_NONE) return sts;
  *ptr = static_cast<mfxU8*>(mid) + kHeaderSize;
  return MFX_ERR_NONE;
}

mfxStatus SysMemBufferAllocator::UnlockBuffer(mfxMemId mid) { return CheckBlock(mid); }

mfxStatus SysMemBufferAllocator::FreeBuffer(mfxMemId mid) {
  const mfxStatus sts = CheckBlock(mid);
  if (sts != MFX_ERR_NONE) return sts;
  ::operator delete(mid, kAlignment);
  return MFX_ERR_NONE;
}

}  // namespace mediaworkflow::encoder
