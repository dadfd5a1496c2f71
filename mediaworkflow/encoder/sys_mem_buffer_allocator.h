#pragma once

#include <cstddef>

#include "mediaworkflow/encoder/mfx_buffer_allocator.h"

namespace mediaworkflow::encoder {

// Buffers in plain memory. Each is one zeroed block: a 64-byte header carrying the
// identifier 'BUFF', then the caller's bytes (64-byte aligned). The memory id is the
// block; a lock, unlock or free of a block without the identifier is refused.
class SysMemBufferAllocator : public MFXBufferAllocator {
 public:
  static constexpr mfxU32 kBufferId = MFX_MAKEFOURCC('B', 'U', 'F', 'F');  // 0x46465542
  static constexpr std::size_t kHeaderSize = 64;

  mfxStatus AllocBuffer(mfxU32 nbytes, mfxU16 type, mfxMemId* mid) override;
  mfxStatus LockBuffer(mfxMemId mid, mfxU8** ptr) override;
  mfxStatus UnlockBuffer(mfxMemId mid) override;
  mfxStatus FreeBuffer(mfxMemId mid) override;
};

}  // namespace mediaworkflow::encoder
