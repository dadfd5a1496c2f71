#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/encoder/d3d11_device.h"
#include "mediaworkflow/encoder/d3d11_frame_allocator.h"
#include "mediaworkflow/encoder/d3d_device.h"
#include "mediaworkflow/encoder/d3d_frame_allocator.h"
#include "mediaworkflow/encoder/sys_mem_buffer_allocator.h"
#include "mediaworkflow/encoder/sys_mem_frame_allocator.h"

namespace mediaworkflow::encoder {
namespace {

constexpr mfxU16 kEncoderInput =
    MFX_MEMTYPE_FROM_ENCODE | MFX_MEMTYPE_EXTERNAL_FRAME | MFX_MEMTYPE_SYSTEM_MEMORY;
constexpr mfxU16 kDecoderOutput =
    MFX_MEMTYPE_FROM_DECODE | MFX_MEMTYPE_EXTERNAL_FRAME | MFX_MEMTYPE_SYSTEM_MEMORY;

mfxFrameAllocRequest Request(mfxU16 type, mfxU16 frames, mfxU16 w = 64, mfxU16 h = 32,
                             mfxU32 fourcc = MFX_FOURCC_NV12, mfxU32 alloc_id = 0) {
  mfxFrameAllocRequest r{};
  r.AllocId = alloc_id;
  r.Type = type;
  r.NumFrameMin = frames;
  r.NumFrameSuggested = frames;
  r.Info.FourCC = fourcc;
  r.Info.Width = w;
  r.Info.Height = h;
  return r;
}

// Plain buffers that also count what is asked of them.
class CountingBuffers : public SysMemBufferAllocator {
 public:
  mfxStatus AllocBuffer(mfxU32 nbytes, mfxU16 type, mfxMemId* mid) override {
    sizes.push_back(nbytes);
    ++live;
    return SysMemBufferAllocator::AllocBuffer(nbytes, type, mid);
  }
  mfxStatus FreeBuffer(mfxMemId mid) override {
    const mfxStatus sts = SysMemBufferAllocator::FreeBuffer(mid);
    if (sts == MFX_ERR_NONE) --live;
    return sts;
  }
  std::vector<mfxU32> sizes;
  int live = 0;
};

class SysMemFrameAllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    params_.buffer_allocator = &buffers_;
    ASSERT_EQ(allocator_.Init(&params_), MFX_ERR_NONE);
  }
  CountingBuffers buffers_;
  SysMemAllocatorParams params_;
  SysMemFrameAllocator allocator_;  // declared last: goes first, while buffers_ lives
};

// --- The buffer allocator ---

TEST(SysMemBufferAllocatorTest, ZeroedBlockBehindATaggedHeader) {
  SysMemBufferAllocator buffers;
  mfxBufferAllocator* table = buffers.record();
  mfxMemId mid = nullptr;
  ASSERT_EQ(table->Alloc(table->pthis, 100, MFX_MEMTYPE_SYSTEM_MEMORY, &mid), MFX_ERR_NONE);
  uint32_t id = 0;
  std::memcpy(&id, mid, 4);
  EXPECT_EQ(id, 0x46465542u);  // 'BUFF'
  mfxU8* p = nullptr;
  ASSERT_EQ(table->Lock(table->pthis, mid, &p), MFX_ERR_NONE);
  EXPECT_EQ(p, static_cast<mfxU8*>(mid) + 64);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
  EXPECT_EQ(std::vector<mfxU8>(p, p + 100), std::vector<mfxU8>(100, 0));
  EXPECT_EQ(table->Unlock(table->pthis, mid), MFX_ERR_NONE);
  EXPECT_EQ(table->Free(table->pthis, mid), MFX_ERR_NONE);
}

TEST(SysMemBufferAllocatorTest, NullAndForeignBlocksAreRefused) {
  SysMemBufferAllocator buffers;
  mfxU8* p = nullptr;
  EXPECT_EQ(buffers.LockBuffer(nullptr, &p), MFX_ERR_NULL_PTR);
  EXPECT_EQ(buffers.UnlockBuffer(nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(buffers.FreeBuffer(nullptr), MFX_ERR_NULL_PTR);
  alignas(64) uint8_t foreign[128] = {};
  EXPECT_EQ(buffers.LockBuffer(foreign, &p), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(buffers.UnlockBuffer(foreign), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(buffers.FreeBuffer(foreign), MFX_ERR_INVALID_HANDLE);
  // The table's entry points without an object.
  mfxBufferAllocator table = *buffers.record();
  table.pthis = nullptr;
  mfxMemId mid = nullptr;
  EXPECT_EQ(table.Alloc(nullptr, 10, 0, &mid), MFX_ERR_MEMORY_ALLOC);
  EXPECT_EQ(table.Free(nullptr, foreign), MFX_ERR_MEMORY_ALLOC);
}

// --- The system-memory frame allocator ---

TEST(SysMemFrameSizeTest, BytesPerFormat) {
  struct Case {
    mfxU32 fourcc;
    size_t bytes;
  };
  const Case cases[] = {
      {MFX_FOURCC_NV12, 64 * 32 * 3 / 2},
      {MFX_FOURCC_YV12, 64 * 32 * 3 / 2},
      {MFX_FOURCC_YUY2, 64 * 32 * 2},
      {MFX_FOURCC_UYVY, 64 * 32 * 2},
      {MFX_FOURCC_NV16, 64 * 32 * 2},
      {MFX_FOURCC_R16, 64 * 32 * 2},
      {MFX_FOURCC_RGB3, 64 * 32 * 3},
      {MFX_FOURCC_P010, 64 * 32 * 3},
      {MFX_FOURCC_RGB4, 64 * 32 * 4},
      {MFX_FOURCC_AYUV, 64 * 32 * 4},
      {MFX_FOURCC_A2RGB10, 64 * 32 * 4},
      {MFX_FOURCC_Y410, 64 * 32 * 4},
      {MFX_FOURCC_P8, 0},
      {MFX_FOURCC_BGR4, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SysMemFrameAllocator::FrameSize(c.fourcc, 64, 32), c.bytes) << std::hex << c.fourcc;
  }
}

TEST_F(SysMemFrameAllocatorTest, FramesAreAlignedTo32AndLockPointsThePlanesIn) {
  // 1366 x 767 is laid out as 1376 x 768.
  mfxFrameAllocRequest request = Request(kEncoderInput, 3, 1366, 767);
  mfxFrameAllocResponse response{};
  ASSERT_EQ(allocator_.record()->Alloc(allocator_.record()->pthis, &request, &response),
            MFX_ERR_NONE);
  ASSERT_EQ(response.NumFrameActual, 3);
  EXPECT_EQ(buffers_.sizes, (std::vector<mfxU32>(3, 1376 * 768 * 3 / 2)));

  mfxFrameData data{};
  ASSERT_EQ(allocator_.LockSurface(response.mids[1], &data), MFX_ERR_NONE);
  EXPECT_EQ(data.Pitch, 1376);
  EXPECT_EQ(data.UV - data.Y, 1376 * 768);
  EXPECT_EQ(data.V - data.UV, 1);
  data.Y[0] = 1;
  data.UV[1376 * 384 - 1] = 2;  // the last chroma byte is inside the frame
  ASSERT_EQ(allocator_.UnlockSurface(response.mids[1], &data), MFX_ERR_NONE);
  EXPECT_EQ(data.Y, nullptr);
  EXPECT_EQ(data.Pitch, 0);
  mfxHDL handle = nullptr;
  EXPECT_EQ(allocator_.GetSurfaceHandle(response.mids[1], &handle), MFX_ERR_UNSUPPORTED);

  ASSERT_EQ(allocator_.FreeFrameSet(&response), MFX_ERR_NONE);
  EXPECT_EQ(buffers_.live, 0);
  // Freed frames are no longer known.
  EXPECT_EQ(allocator_.FreeFrameSet(&response), MFX_ERR_INVALID_HANDLE);
}

TEST_F(SysMemFrameAllocatorTest, SharedResponsesAreReferenceCounted) {
  mfxFrameAllocRequest request = Request(kDecoderOutput, 4, 64, 32, MFX_FOURCC_NV12, 7);
  mfxFrameAllocResponse first{}, second{}, other{};
  ASSERT_EQ(allocator_.AllocateFrameSet(&request, &first), MFX_ERR_NONE);
  mfxFrameAllocRequest smaller = Request(kDecoderOutput, 2, 32, 16, MFX_FOURCC_NV12, 7);
  ASSERT_EQ(allocator_.AllocateFrameSet(&smaller, &second), MFX_ERR_NONE);
  EXPECT_EQ(second.mids, first.mids);  // the same frames, not new ones
  EXPECT_EQ(buffers_.live, 4);
  mfxFrameAllocRequest more = Request(kDecoderOutput, 5, 64, 32, MFX_FOURCC_NV12, 7);
  EXPECT_EQ(allocator_.AllocateFrameSet(&more, &other), MFX_ERR_MEMORY_ALLOC);
  mfxFrameAllocRequest another_id = Request(kDecoderOutput, 1, 64, 32, MFX_FOURCC_NV12, 8);
  ASSERT_EQ(allocator_.AllocateFrameSet(&another_id, &other), MFX_ERR_NONE);
  EXPECT_NE(other.mids, first.mids);
  EXPECT_EQ(buffers_.live, 5);

  EXPECT_EQ(allocator_.FreeFrameSet(&first), MFX_ERR_NONE);
  EXPECT_EQ(buffers_.live, 5);  // still referenced once
  EXPECT_EQ(allocator_.FreeFrameSet(&second), MFX_ERR_NONE);
  EXPECT_EQ(buffers_.live, 1);
  EXPECT_EQ(allocator_.FreeFrameSet(&first), MFX_ERR_INVALID_HANDLE);
  // Close gives back what is still held.
  EXPECT_EQ(allocator_.Close(), MFX_ERR_NONE);
  EXPECT_EQ(buffers_.live, 0);
}

TEST_F(SysMemFrameAllocatorTest, UnknownFramesAndResponses) {
  mfxFrameAllocResponse unknown{};
  mfxMemId mids[1] = {nullptr};
  unknown.mids = mids;
  unknown.NumFrameActual = 1;
  EXPECT_EQ(allocator_.FreeFrameSet(&unknown), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(allocator_.FreeFrameSet(nullptr), MFX_ERR_NULL_PTR);
  alignas(64) uint8_t foreign[128] = {};
  mfxFrameData data{};
  EXPECT_EQ(allocator_.LockSurface(foreign, &data), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(allocator_.UnlockSurface(foreign, &data), MFX_ERR_INVALID_HANDLE);
  // The table's entry points without an object.
  mfxFrameAllocator table = *allocator_.record();
  mfxFrameAllocRequest request = Request(kEncoderInput, 1);
  mfxFrameAllocResponse response{};
  EXPECT_EQ(table.Alloc(nullptr, &request, &response), MFX_ERR_MEMORY_ALLOC);
  EXPECT_EQ(table.Lock(nullptr, foreign, &data), MFX_ERR_MEMORY_ALLOC);
  EXPECT_EQ(table.Free(nullptr, &response), MFX_ERR_MEMORY_ALLOC);
}

TEST(SysMemFrameAllocatorInitTest, OwnBufferAllocatorWhenNoneIsGiven) {
  SysMemFrameAllocator allocator;
  mfxFrameAllocRequest request = Request(kEncoderInput, 2);
  mfxFrameAllocResponse response{};
  EXPECT_EQ(allocator.AllocateFrameSet(&request, &response), MFX_ERR_NOT_INITIALIZED);
  ASSERT_EQ(allocator.Init(nullptr), MFX_ERR_NONE);
  ASSERT_EQ(allocator.AllocateFrameSet(&request, &response), MFX_ERR_NONE);
  mfxFrameData data{};
  ASSERT_EQ(allocator.LockSurface(response.mids[0], &data), MFX_ERR_NONE);
  EXPECT_EQ(data.Pitch, 64);
  EXPECT_EQ(allocator.FreeFrameSet(&response), MFX_ERR_NONE);
}

// --- Request checks of every allocator ---

TEST(FrameAllocatorRequestTest, EachAllocatorTakesOnlyItsKindOfRequest) {
  SysMemFrameAllocator sys;
  ASSERT_EQ(sys.Init(nullptr), MFX_ERR_NONE);
  D3D11FrameAllocator d3d11;
  D3DFrameAllocator d3d9;
  constexpr mfxU16 kVideoInput = MFX_MEMTYPE_FROM_ENCODE | MFX_MEMTYPE_EXTERNAL_FRAME |
                                 MFX_MEMTYPE_VIDEO_MEMORY_PROCESSOR_TARGET;
  struct Case {
    BaseFrameAllocator* allocator;
    mfxU16 type;
    mfxU16 frames;
    mfxStatus expected;
  };
  const Case cases[] = {
      {&sys, kEncoderInput, 1, MFX_ERR_NONE},
      {&sys, MFX_MEMTYPE_SYSTEM_MEMORY, 1, MFX_ERR_UNSUPPORTED},  // no requesting component
      {&sys, kVideoInput, 1, MFX_ERR_UNSUPPORTED},                // not system memory
      {&sys, kEncoderInput, 0, MFX_ERR_MEMORY_ALLOC},             // no frames
      {&d3d11, kEncoderInput, 1, MFX_ERR_UNSUPPORTED},            // not a video target
      {&d3d9, kEncoderInput, 1, MFX_ERR_UNSUPPORTED},
      // A video-memory request passes the checks; the stand-ins have no frames.
      {&d3d11, kVideoInput, 1, MFX_ERR_NOT_INITIALIZED},
      {&d3d9, kVideoInput, 1, MFX_ERR_NOT_INITIALIZED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type << " frames " << c.frames);
    mfxFrameAllocRequest request = Request(c.type, c.frames);
    mfxFrameAllocResponse response{};
    EXPECT_EQ(c.allocator->AllocateFrameSet(&request, &response), c.expected);
    if (c.expected == MFX_ERR_NONE) {
      EXPECT_EQ(c.allocator->FreeFrameSet(&response), MFX_ERR_NONE);
    }
  }
  mfxFrameAllocResponse response{};
  EXPECT_EQ(sys.AllocateFrameSet(nullptr, &response), MFX_ERR_MEMORY_ALLOC);
  mfxFrameAllocRequest odd = Request(kEncoderInput, 1, 64, 32, MFX_FOURCC_P8);
  EXPECT_EQ(sys.AllocateFrameSet(&odd, &response), MFX_ERR_UNSUPPORTED);
}

// --- The Direct3D stand-ins ---

TEST(Direct3DStandInTest, DevicesAndAllocatorsFailToInitialiseHere) {
  CD3D11Device d3d11;
  CD3D9Device d3d9;
  struct Case {
    CHWDevice* device;
    mfxHandleType handle_type;
  };
  const Case cases[] = {{&d3d11, MFX_HANDLE_D3D11_DEVICE}, {&d3d9, MFX_HANDLE_D3D9_DEVICE_MANAGER}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.device->Init(nullptr, 0, 0), MFX_ERR_DEVICE_FAILED);
    mfxHDL handle = nullptr;
    EXPECT_EQ(c.device->GetHandle(c.handle_type, &handle), MFX_ERR_NOT_INITIALIZED);
    EXPECT_EQ(c.device->GetHandle(MFX_HANDLE_VA_DISPLAY, &handle), MFX_ERR_UNSUPPORTED);
    int window = 0;
    EXPECT_EQ(c.device->SetHandle(kWindowHandleType, &window), MFX_ERR_NONE);
    EXPECT_EQ(c.device->SetHandle(kWindowHandleType, nullptr), MFX_ERR_UNSUPPORTED);
    EXPECT_EQ(c.device->SetHandle(c.handle_type, &window), MFX_ERR_UNSUPPORTED);
  }

  int device = 0;
  D3D11AllocatorParams d3d11_params;
  D3DAllocatorParams d3d9_params;
  SysMemAllocatorParams sys_params;
  D3D11FrameAllocator d3d11_allocator;
  D3DFrameAllocator d3d9_allocator;
  // Wrong or empty parameters: not initialised; the right ones: no device here.
  EXPECT_EQ(d3d11_allocator.Init(nullptr), MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(d3d11_allocator.Init(&d3d11_params), MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(d3d11_allocator.Init(&sys_params), MFX_ERR_NOT_INITIALIZED);
  d3d11_params.device = &device;
  EXPECT_EQ(d3d11_allocator.Init(&d3d11_params), MFX_ERR_DEVICE_FAILED);
  EXPECT_EQ(d3d9_allocator.Init(&d3d9_params), MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(d3d9_allocator.Init(&d3d11_params), MFX_ERR_NOT_INITIALIZED);
  d3d9_params.manager = &device;
  EXPECT_EQ(d3d9_allocator.Init(&d3d9_params), MFX_ERR_DEVICE_FAILED);
  mfxHDL handle = nullptr;
  EXPECT_EQ(d3d11_allocator.GetSurfaceHandle(&device, &handle), MFX_ERR_INVALID_HANDLE);
}

}  // namespace
}  // namespace mediaworkflow::encoder
