#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <mfxvideo.h>

#include "mediaworkflow/encoder/h264_enc_impl.h"
#include "mediaworkflow/encoder/hw_device.h"
#include "mediaworkflow/encoder/media_sdk_session.h"
#include "mediaworkflow/encoder/mfx_frame_allocator.h"
#include "mediaworkflow/encoder/va_display.h"

namespace mediaworkflow::encoder {

// The hardware back-end over the Media SDK: one frame at a time, synchronously, no
// B-frames, key frames only on request. Init tries three memory configurations in
// turn (Direct3D 11 video memory, Direct3D 9 video memory, system memory) and keeps
// the first that opens. Used from the encode thread only.
class QSVH264Imp : public H264EncImpl {
 public:
  enum MemoryType { kSystemMemory = 0, kD3D9Memory = 1, kD3D11Memory = 2 };

  // The encoder's parameters with the one extension buffer they point at (so the
  // record is not copyable: `video.ExtParam` points into it).
  struct VideoParams {
    VideoParams() = default;
    VideoParams(const VideoParams&) = delete;
    VideoParams& operator=(const VideoParams&) = delete;
    mfxVideoParam video{};
    mfxExtCodingOption coding_option{};
    mfxExtBuffer* ext_buffers[1]{};
  };

  // Fills `out` (all else zero) for the output size, frame rate and bitrate (kbit/s,
  // 0 = the default for the size).
  static void FillVideoParam(int memory_type, bool quality_mode, int output_width,
                             int output_height, int frame_rate, int bitrate, VideoParams* out);
  // The session implementation each memory type opens.
  static mfxIMPL SessionImpl(int memory_type);
  // The graphics adapter the session's implementation runs on (HARDWARE..HARDWARE4).
  static mfxU32 AdapterNumber(mfxIMPL impl);

  // On the Media SDK dispatcher, with the VA display of the first render node that
  // opens.
  QSVH264Imp();
  // On `session`; each opened session is handed the display that `open_display` gives
  // (asked once; none when it is empty or gives nothing).
  explicit QSVH264Imp(std::unique_ptr<MediaSdkSession> session,
                      VaDisplay::Opener open_display = nullptr);
  ~QSVH264Imp() override;

  int Init(int input_width, int input_height, int output_width, int output_height, int frame_rate,
           int bitrate) override;
  void Close() override;
  // 0 when a sample was handed out or none was due; otherwise the failing status
  // (or a libyuv error), after which the caller gives up on this back-end.
  int Encode(std::shared_ptr<buffer::ImageBuffer> frame, bool force_key_frame) override;
  bool IsHardware() override { return true; }

  int memory_type() const { return memory_type_; }
  bool opened() const { return opened_; }
  int surface_count() const { return static_cast<int>(surfaces_.size()); }
  // Bytes of the sample buffer each access unit is written into.
  int bitstream_capacity() const { return bitstream_capacity_; }

 private:
  mfxStatus InitSession(int output_width, int output_height, int frame_rate, int bitrate);
  mfxStatus CreateAllocator();
  mfxStatus AllocateSurfaces();
  // Prints the failing step with its line and remembers it for the log.
  mfxStatus Fail(mfxStatus status, const char* step, int line);
  mfxStatus ConvertInto(buffer::ImageBuffer& frame, mfxFrameSurface1& surface);
  // The handle of the display, opened on the first call; null when there is none.
  mfxHDL DisplayHandle();

  // The display a Linux runtime encodes on; opened at the first session and kept
  // until the end. Declared before the session, so that it outlives it.
  VaDisplay::Opener open_display_;
  bool display_asked_ = false;
  std::unique_ptr<VaDisplay> display_;

  std::unique_ptr<MediaSdkSession> session_;
  int width_ = 0;
  int height_ = 0;
  bool opened_ = false;
  std::unique_ptr<CHWDevice> device_;
  std::unique_ptr<MFXFrameAllocator> allocator_;
  std::unique_ptr<mfxAllocatorParams> allocator_params_;
  std::vector<mfxFrameSurface1> surfaces_;
  VideoParams params_;
  mfxFrameAllocResponse response_{};
  bool response_valid_ = false;
  mfxBitstream bitstream_{};
  mfxSyncPoint sync_point_ = nullptr;
  mfxEncodeCtrl encode_ctrl_{};
  std::vector<uint8_t> scratch_;
  int memory_type_ = kD3D11Memory;

  int bitstream_capacity_ = 0;
  const char* failed_step_ = "";
  // An access unit that did not fit was dropped; the next frame is a key frame, and
  // when that one does not fit either the buffer is too small for this stream.
  bool force_idr_next_ = false;
  bool dropped_last_ = false;
};

}  // namespace mediaworkflow::encoder
