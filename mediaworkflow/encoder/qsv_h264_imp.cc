#include "mediaworkflow/encoder/qsv_h264_imp.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include <libyuv/convert_from_argb.h>
#include <libyuv/scale_argb.h>

#include "mediaworkflow/buffer/mem_h264_sample.h"
#include "mediaworkflow/encoder/d3d11_device.h"
#include "mediaworkflow/encoder/d3d11_frame_allocator.h"
#include "mediaworkflow/encoder/d3d_device.h"
#include "mediaworkflow/encoder/d3d_frame_allocator.h"
#include "mediaworkflow/encoder/dispatcher_session.h"
#include "mediaworkflow/encoder/mfx_status.h"
#include "mediaworkflow/encoder/sys_mem_frame_allocator.h"
#include "utils/logger.h"

namespace mediaworkflow::encoder {

namespace {

const char* const kLogTag = "MediaWorklfow::H264Encoder";
constexpr int kMaxBitrate = 10000;
constexpr mfxU32 kSyncWaitMs = 60000;
// A device that stays busy for this many 1 ms retries is treated as failed rather
// than holding the encode thread (and so the pipeline's stop) for good.
constexpr int kMaxSubmitRetries = 1000;

const char* MemoryTypeName(int memory_type) {
  switch (memory_type) {
    case QSVH264Imp::kD3D11Memory:
      return "D3D11 video memory";
    case QSVH264Imp::kD3D9Memory:
      return "D3D9 video memory";
    default:
      return "system memory";
  }
}

mfxU16 ToU16(int64_t v) { return static_cast<mfxU16>(std::clamp<int64_t>(v, 0, 0xFFFF)); }

mfxU32 PitchOf(const mfxFrameData& data) {
  return (static_cast<mfxU32>(data.PitchHigh) << 16) | data.PitchLow;
}

}  // namespace

// --- Parameters ---

void QSVH264Imp::FillVideoParam(int memory_type, bool quality_mode, int output_width,
                                int output_height, int frame_rate, int bitrate, VideoParams* out) {
  out->video = mfxVideoParam{};
  out->coding_option = mfxExtCodingOption{};

  mfxVideoParam& p = out->video;
  p.AsyncDepth = 1;
  p.IOPattern =
      memory_type == kSystemMemory ? MFX_IOPATTERN_IN_SYSTEM_MEMORY : MFX_IOPATTERN_IN_VIDEO_MEMORY;
  mfxInfoMFX& m = p.mfx;
  m.CodecId = MFX_CODEC_AVC;
  m.CodecProfile = MFX_PROFILE_AVC_HIGH;
  m.TargetUsage = quality_mode ? MFX_TARGETUSAGE_BEST_QUALITY : MFX_TARGETUSAGE_BEST_SPEED;
  m.GopPicSize = 0xFFFF;  // key frames only when asked for
  m.GopRefDist = 1;       // no B-frames
  m.GopOptFlag = MFX_GOP_CLOSED;
  m.RateControlMethod = MFX_RATECONTROL_VBR;
  const int64_t pixels = static_cast<int64_t>(output_width) * output_height;
  const int64_t target =
      bitrate == 0 ? (quality_mode ? pixels / 400 + 3600 : pixels / 450 + 3000) : bitrate;
  m.TargetKbps = ToU16(std::min<int64_t>(target, kMaxBitrate));
  // From the bitrate as asked (0 when the default is used) and not capped at the
  // target's maximum; only kept inside the field's range.
  m.MaxKbps = ToU16(static_cast<int64_t>(bitrate) * (quality_mode ? 12 : 11) / 10);
  m.NumSlice = 1;
  m.NumRefFrame = 1;

  mfxFrameInfo& f = m.FrameInfo;
  f.FourCC = MFX_FOURCC_NV12;
  f.ChromaFormat = MFX_CHROMAFORMAT_YUV420;
  f.PicStruct = MFX_PICSTRUCT_PROGRESSIVE;
  f.Width = ToU16((static_cast<int64_t>(output_width) + 15) & ~int64_t{15});
  f.Height = ToU16((static_cast<int64_t>(output_height) + 15) & ~int64_t{15});
  f.CropX = 0;
  f.CropY = 0;
  f.CropW = ToU16(output_width);
  f.CropH = ToU16(output_height);
  f.FrameRateExtN = static_cast<mfxU32>(std::max(frame_rate, 0));
  f.FrameRateExtD = 1;

  out->coding_option.Header.BufferId = MFX_EXTBUFF_CODING_OPTION;
  out->coding_option.Header.BufferSz = sizeof(mfxExtCodingOption);
  out->coding_option.MaxDecFrameBuffering = 1;
  out->ext_buffers[0] = &out->coding_option.Header;
  p.ExtParam = out->ext_buffers;
  p.NumExtParam = 1;
}

mfxIMPL QSVH264Imp::SessionImpl(int memory_type) {
  switch (memory_type) {
    case kD3D11Memory:
      return MFX_IMPL_HARDWARE_ANY | MFX_IMPL_VIA_D3D11;
    case kD3D9Memory:
      return MFX_IMPL_HARDWARE_ANY | MFX_IMPL_VIA_D3D9;
    default:
      return MFX_IMPL_HARDWARE_ANY;
  }
}

mfxU32 QSVH264Imp::AdapterNumber(mfxIMPL impl) {
  switch (MFX_IMPL_BASETYPE(impl)) {
    case MFX_IMPL_HARDWARE2:
      return 1;
    case MFX_IMPL_HARDWARE3:
      return 2;
    case MFX_IMPL_HARDWARE4:
      return 3;
    default:
      return 0;  // MFX_IMPL_HARDWARE and anything else
  }
}

// --- Life cycle ---

QSVH264Imp::QSVH264Imp()
    : QSVH264Imp(std::make_unique<DispatcherSession>(), &VaDisplay::OpenRenderNode) {}

QSVH264Imp::QSVH264Imp(std::unique_ptr<MediaSdkSession> session, VaDisplay::Opener open_display)
    : open_display_(std::move(open_display)), session_(std::move(session)) {}

QSVH264Imp::~QSVH264Imp() { Close(); }

int QSVH264Imp::Init(int, int, int output_width, int output_height, int frame_rate, int bitrate) {
  for (int type : {kD3D11Memory, kD3D9Memory, kSystemMemory}) {
    Close();
    memory_type_ = type;
    failed_step_ = "";
    const mfxStatus sts = InitSession(output_width, output_height, frame_rate, bitrate);
    if (sts == MFX_ERR_NONE) {
      LOG_INFO("Quick Sync encoder open on {} at {}x{}", MemoryTypeName(type), output_width,
               output_height);
      return 0;
    }
    LOG_WARN("Quick Sync on {}: {} failed with {}", MemoryTypeName(type), failed_step_,
             MfxStatusName(sts));
  }
  Close();
  return -1;
}

void QSVH264Imp::Close() {
  if (session_) session_->DestroyEncoder();
  if (response_valid_ && allocator_) allocator_->FreeFrameSet(&response_);
  response_valid_ = false;
  response_ = mfxFrameAllocResponse{};
  surfaces_.clear();
  // The session may hold the allocator's table: close it before the allocator goes.
  if (session_) session_->Close();
  allocator_.reset();
  allocator_params_.reset();
  device_.reset();
  bitstream_ = mfxBitstream{};
  sync_point_ = nullptr;
  opened_ = false;
}

mfxStatus QSVH264Imp::Fail(mfxStatus status, const char* step, int line) {
  failed_step_ = step;
  return PrintReturnOnError(status, SourceFileName(__FILE__), line);
}

// Failing steps are those with an error status; warnings (the parameters were
// adjusted, for one) go on with what the SDK made of the request.
mfxStatus QSVH264Imp::InitSession(int output_width, int output_height, int frame_rate,
                                  int bitrate) {
  mfxVersion version{};
  version.Major = 1;
  version.Minor = 0;
  mfxStatus sts = session_->Init(SessionImpl(memory_type_), &version);
  if (sts < MFX_ERR_NONE) return Fail(sts, "MFXInit", __LINE__);
  // Before anything else is made on the session: a Linux runtime works only on the
  // display it was handed. Where none opens the session is left as it is; it then
  // fails on its own and x264 takes over.
  if (mfxHDL display = DisplayHandle()) {
    sts = session_->SetHandle(MFX_HANDLE_VA_DISPLAY, display);
    if (sts < MFX_ERR_NONE) return Fail(sts, "SetHandle of the VA display", __LINE__);
  }

  session_->CreateEncoder();
  sts = CreateAllocator();
  if (sts < MFX_ERR_NONE) return Fail(sts, "CreateAllocator", __LINE__);

  FillVideoParam(memory_type_, quality_mode_, output_width, output_height, frame_rate, bitrate,
                 &params_);
  sts = session_->Query(&params_.video, &params_.video);
  if (sts < MFX_ERR_NONE) return Fail(sts, "Query", __LINE__);

  sts = AllocateSurfaces();
  if (sts < MFX_ERR_NONE) return Fail(sts, "surface allocation", __LINE__);

  sts = session_->EncodeInit(&params_.video);
  if (sts < MFX_ERR_NONE) return Fail(sts, "encoder Init", __LINE__);

  mfxVideoParam actual{};
  sts = session_->GetVideoParam(&actual);
  if (sts < MFX_ERR_NONE) return Fail(sts, "GetVideoParam", __LINE__);
  // The largest access unit the encoder may write, but never beyond the sample buffer
  // it is written into; the encoder reports a frame that does not fit (below).
  const int64_t multiplier = std::max<mfxU16>(actual.mfx.BRCParamMultiplier, 1);
  const int64_t wanted = static_cast<int64_t>(actual.mfx.BufferSizeInKB) * multiplier * 1000;
  bitstream_capacity_ =
      static_cast<int>(wanted > 0 ? std::min<int64_t>(wanted, buffer::MemH264Sample::kMaxSize)
                                  : buffer::MemH264Sample::kMaxSize);
  bitstream_ = mfxBitstream{};
  opened_ = true;
  width_ = output_width;
  height_ = output_height;
  force_idr_next_ = false;
  dropped_last_ = false;
  return MFX_ERR_NONE;
}

mfxHDL QSVH264Imp::DisplayHandle() {
  if (!display_asked_) {
    display_asked_ = true;
    if (open_display_) display_ = open_display_();
    if (!display_ && open_display_) LOG_INFO("Quick Sync: no VA display opens on this machine");
  }
  return display_ ? display_->handle() : nullptr;
}

mfxStatus QSVH264Imp::CreateAllocator() {
  mfxStatus sts;
  if (memory_type_ != kSystemMemory) {
    const bool d3d11 = memory_type_ == kD3D11Memory;
    if (d3d11) {
      device_.reset(new (std::nothrow) CD3D11Device());
    } else {
      device_.reset(new (std::nothrow) CD3D9Device());
    }
    if (!device_) return MFX_ERR_MEMORY_ALLOC;
    mfxIMPL impl = MFX_IMPL_HARDWARE;
    if (session_->QueryIMPL(&impl) != MFX_ERR_NONE) impl = MFX_IMPL_HARDWARE;
    sts = device_->Init(nullptr, 0, AdapterNumber(impl));
    if (sts < MFX_ERR_NONE) {
      return PrintMfxError(sts, L"CreateHWDevice failed", SourceFileName(__FILE__), __LINE__);
    }
    const mfxHandleType type = d3d11 ? MFX_HANDLE_D3D11_DEVICE : MFX_HANDLE_D3D9_DEVICE_MANAGER;
    mfxHDL handle = nullptr;
    sts = device_->GetHandle(type, &handle);
    if (sts < MFX_ERR_NONE) {
      return PrintMfxError(sts, L"m_hwdev->GetHandle failed", SourceFileName(__FILE__), __LINE__);
    }
    if (MFX_IMPL_BASETYPE(impl) != MFX_IMPL_SOFTWARE) {
      sts = session_->SetHandle(type, handle);
      if (sts < MFX_ERR_NONE) {
        return PrintMfxError(sts, L"SetHandle failed", SourceFileName(__FILE__), __LINE__);
      }
    }
    if (d3d11) {
      auto* params = new (std::nothrow) D3D11AllocatorParams();
      if (params != nullptr) params->device = handle;
      allocator_params_.reset(params);
      allocator_.reset(new (std::nothrow) D3D11FrameAllocator());
    } else {
      auto* params = new (std::nothrow) D3DAllocatorParams();
      if (params != nullptr) params->manager = handle;
      allocator_params_.reset(params);
      allocator_.reset(new (std::nothrow) D3DFrameAllocator());
    }
    if (!allocator_params_ || !allocator_) {
      return PrintMfxError(MFX_ERR_MEMORY_ALLOC, L"pd3dAllocParams pointer is NULL",
                           SourceFileName(__FILE__), __LINE__);
    }
    sts = session_->SetFrameAllocator(allocator_->record());
    if (sts < MFX_ERR_NONE) {
      return PrintMfxError(sts, L"SetFrameAllocator failed", SourceFileName(__FILE__), __LINE__);
    }
  } else {
    allocator_.reset(new (std::nothrow) SysMemFrameAllocator());
    if (!allocator_) {
      return PrintMfxError(MFX_ERR_MEMORY_ALLOC, L"frame_allocator_ pointer is NULL",
                           SourceFileName(__FILE__), __LINE__);
    }
  }
  sts = allocator_->Init(allocator_params_.get());
  if (sts < MFX_ERR_NONE) {
    return PrintMfxError(sts, L"m_pMFXAllocator->Init failed", SourceFileName(__FILE__), __LINE__);
  }
  return MFX_ERR_NONE;
}

mfxStatus QSVH264Imp::AllocateSurfaces() {
  mfxFrameAllocRequest request{};
  mfxStatus sts = session_->QueryIOSurf(&params_.video, &request);
  if (sts < MFX_ERR_NONE) return sts;
  sts = allocator_->AllocateFrameSet(&request, &response_);
  if (sts < MFX_ERR_NONE) return sts;
  // Held from here on, so that a failure below still gives the frames back.
  response_valid_ = true;

  surfaces_.assign(response_.NumFrameActual, mfxFrameSurface1{});
  for (size_t i = 0; i < surfaces_.size(); ++i) {
    surfaces_[i].Info = request.Info;
    if (memory_type_ != kSystemMemory) {
      surfaces_[i].Data.MemId = response_.mids[i];
      continue;
    }
    // System memory stays locked: the planes point into it for good.
    sts = allocator_->LockSurface(response_.mids[i], &surfaces_[i].Data);
    if (sts < MFX_ERR_NONE) {
      return PrintMfxError(sts, L"Lock failed", SourceFileName(__FILE__), __LINE__);
    }
  }
  return MFX_ERR_NONE;
}

// --- Encoding ---

mfxStatus QSVH264Imp::ConvertInto(buffer::ImageBuffer& frame, mfxFrameSurface1& surface) {
  int fw = 0, fh = 0;
  frame.GetSize(&fw, &fh);
  const uint8_t* src = frame.GetData();
  int src_stride = frame.GetStride();
  if (fw != width_ || fh != height_) {
    const size_t need = static_cast<size_t>(width_) * height_ * 4;
    if (scratch_.size() < need) scratch_.resize(need);
    const int r = libyuv::ARGBScale(src, src_stride, fw, fh, scratch_.data(), width_ * 4, width_,
                                    height_, libyuv::kFilterBox);
    if (r != 0) return static_cast<mfxStatus>(r);
    src = scratch_.data();
    src_stride = width_ * 4;
  }
  const int pitch = static_cast<int>(PitchOf(surface.Data));
  return static_cast<mfxStatus>(libyuv::ARGBToNV12(src, src_stride, surface.Data.Y, pitch,
                                                   surface.Data.UV, pitch, width_, height_));
}

int QSVH264Imp::Encode(std::shared_ptr<buffer::ImageBuffer> frame, bool force_key_frame) {
  if (surfaces_.empty()) return -2;
  if (!opened_) return MFX_ERR_NOT_INITIALIZED;
  int fw = 0, fh = 0;
  if (!frame || frame->GetData() == nullptr || !frame->GetSize(&fw, &fh) || fw <= 0 || fh <= 0) {
    return MFX_ERR_NULL_PTR;
  }

  // The SDK counts its own holds on a surface in Data.Locked; one still held must not
  // be written over, so without a free one the frame cannot be encoded.
  auto it = std::find_if(surfaces_.begin(), surfaces_.end(),
                         [](const mfxFrameSurface1& s) { return s.Data.Locked == 0; });
  if (it == surfaces_.end()) {
    LOG_ERROR("Quick Sync: none of the {} surfaces is free", surfaces_.size());
    return MFX_ERR_NOT_FOUND;
  }
  mfxFrameSurface1& surface = *it;

  const bool video_memory = memory_type_ != kSystemMemory;
  mfxStatus sts;
  if (video_memory) {
    sts = allocator_->LockSurface(surface.Data.MemId, &surface.Data);
    if (sts < MFX_ERR_NONE) return PrintReturnOnError(sts, SourceFileName(__FILE__), __LINE__);
  }
  const mfxStatus converted = ConvertInto(*frame, surface);
  if (video_memory) {
    sts = allocator_->UnlockSurface(surface.Data.MemId, &surface.Data);
    if (sts < MFX_ERR_NONE) return PrintReturnOnError(sts, SourceFileName(__FILE__), __LINE__);
  }
  if (converted != 0) return converted;

  const bool key = force_key_frame || force_idr_next_;
  encode_ctrl_ = mfxEncodeCtrl{};
  encode_ctrl_.FrameType = key ? (MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF | MFX_FRAMETYPE_IDR) : 0;

  auto sample = std::make_shared<buffer::MemH264Sample>(bitstream_capacity_);
  bitstream_ = mfxBitstream{};
  bitstream_.Data = sample->data();
  bitstream_.MaxLength = static_cast<mfxU32>(sample->capacity());
  sync_point_ = nullptr;

  const char* call = "EncodeFrameAsync";
  sts = session_->EncodeFrameAsync(&encode_ctrl_, &surface, &bitstream_, &sync_point_);
  for (int tries = 0; sts > MFX_ERR_NONE && sync_point_ == nullptr; ++tries) {
    if (tries == kMaxSubmitRetries) break;
    if (sts == MFX_WRN_DEVICE_BUSY) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sts = session_->EncodeFrameAsync(&encode_ctrl_, &surface, &bitstream_, &sync_point_);
  }
  // The frame went in but no output is due yet.
  if (sts == MFX_ERR_MORE_DATA) return 0;
  if (sts >= MFX_ERR_NONE && sync_point_ != nullptr) {
    call = "SyncOperation";
    do {
      sts = session_->SyncOperation(sync_point_, kSyncWaitMs);
    } while (sts == MFX_WRN_IN_EXECUTION);
  }

  const bool fits = bitstream_.DataOffset <= bitstream_.MaxLength &&
                    bitstream_.DataLength <= bitstream_.MaxLength - bitstream_.DataOffset;
  if (sts == MFX_ERR_NOT_ENOUGH_BUFFER || (sts == MFX_ERR_NONE && !fits)) {
    if (dropped_last_) {
      // The key frame that was to restart the stream does not fit either.
      LOG_ERROR("Quick Sync: access units do not fit the sample buffer of {} bytes",
                sample->capacity());
      return MFX_ERR_NOT_ENOUGH_BUFFER;
    }
    // It cannot be handed out whole; dropping it breaks the reference chain, so the
    // next frame restarts the stream with an IDR.
    LOG_ERROR("Quick Sync: access unit exceeds the sample buffer of {} bytes: dropped",
              sample->capacity());
    dropped_last_ = true;
    force_idr_next_ = true;
    return 0;
  }
  if (sts != MFX_ERR_NONE) {
    LOG_ERROR("Quick Sync {} failed with {}", call, MfxStatusName(sts));
    return sts;
  }
  if (key) force_idr_next_ = false;
  dropped_last_ = false;
  if (sync_point_ == nullptr || bitstream_.DataLength == 0 || !callback_) return 0;

  if (bitstream_.DataOffset != 0) {
    std::memmove(sample->data(), sample->data() + bitstream_.DataOffset, bitstream_.DataLength);
  }
  sample->SetSize(static_cast<int>(bitstream_.DataLength));
  sample->set_capture_time_us(frame->capture_time_us());
  callback_(std::move(sample));
  return 0;
}

}  // namespace mediaworkflow::encoder
