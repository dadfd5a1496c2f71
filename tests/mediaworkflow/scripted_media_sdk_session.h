#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mediaworkflow/encoder/media_sdk_session.h"

namespace mediaworkflow::testing_util {

// What a ScriptedMediaSdkSession does and what it saw. Shared with the test, which
// keeps it after the session has been handed to the encoder; guarded because the
// encoder may run on the element's thread.
struct SessionScript {
  std::mutex mutex;

  // Results by call name ("Init", "Query", "QueryIOSurf", "EncodeInit",
  // "GetVideoParam", "SetHandle", "SetFrameAllocator", "EncodeFrameAsync",
  // "SyncOperation"), used up in order; MFX_ERR_NONE once a list is empty.
  std::map<std::string, std::deque<mfxStatus>> results;
  // EncodeFrameAsync hands out a sync point when its result is not negative, except
  // for the results listed here (a warning such as "device busy" comes without one).
  std::vector<mfxStatus> no_sync_point_for = {MFX_WRN_DEVICE_BUSY};
  // Session implementations whose Init fails with MFX_ERR_UNSUPPORTED.
  std::vector<mfxIMPL> unsupported_impls;

  mfxU16 frames_suggested = 3;
  mfxU16 buffer_size_kb = 100;  // GetVideoParam's BufferSizeInKB
  size_t payload_size = 1000;   // bytes of each access unit
  // The surfaces stay locked after encoding, as if the device still used them.
  bool hold_surfaces = false;

  // Seen:
  std::vector<std::string> calls;   // "Init 0x304", "Query", "EncodeFrameAsync", ...
  std::vector<mfxU16> frame_types;  // of each EncodeFrameAsync
  std::vector<mfxU32> max_lengths;  // of each EncodeFrameAsync
  std::vector<uint8_t> first_luma;  // the first Y byte of each surface encoded
  std::vector<std::pair<mfxHandleType, mfxHDL>> handles;  // given to SetHandle
  mfxVideoParam queried{};          // the parameters given to Query
  mfxExtCodingOption queried_option{};
  mfxU16 queried_ext_count = 0;

  size_t Count(const std::string& call);
};

// A Media SDK session without a device: its results and output come from a script.
// The access unit it writes is an Annex B IDR or non-IDR slice NAL unit of
// `payload_size` bytes, filled with its index in the sequence of encoded frames.
class ScriptedMediaSdkSession : public encoder::MediaSdkSession {
 public:
  explicit ScriptedMediaSdkSession(std::shared_ptr<SessionScript> script);

  mfxStatus Init(mfxIMPL impl, mfxVersion* version) override;
  mfxStatus Close() override;
  mfxStatus QueryIMPL(mfxIMPL* impl) override;
  mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) override;
  mfxStatus SetFrameAllocator(mfxFrameAllocator* allocator) override;
  mfxStatus SyncOperation(mfxSyncPoint syncp, mfxU32 wait_ms) override;
  void CreateEncoder() override;
  void DestroyEncoder() override;
  mfxStatus Query(mfxVideoParam* in, mfxVideoParam* out) override;
  mfxStatus QueryIOSurf(mfxVideoParam* param, mfxFrameAllocRequest* request) override;
  mfxStatus EncodeInit(mfxVideoParam* param) override;
  mfxStatus GetVideoParam(mfxVideoParam* param) override;
  mfxStatus EncodeFrameAsync(mfxEncodeCtrl* ctrl, mfxFrameSurface1* surface,
                             mfxBitstream* bitstream, mfxSyncPoint* syncp) override;

 private:
  mfxStatus Next(const std::string& call);  // with the script's mutex held

  std::shared_ptr<SessionScript> script_;
  mfxIMPL impl_ = 0;
  mfxBitstream* pending_ = nullptr;  // the bitstream of the frame being encoded
  bool pending_key_ = false;
  int encoded_ = 0;
};

}  // namespace mediaworkflow::testing_util
