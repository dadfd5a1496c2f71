#include "mediaworkflow/encoder/hardware_probe.h"

#include <mfxvideo.h>

#include "mediaworkflow/encoder/mfx_status.h"
#include "mediaworkflow/encoder/qsv_h264_imp.h"
#include "utils/logger.h"

namespace mediaworkflow::encoder {

namespace {

const char* const kLogTag = "MediaWorklfow::H264Encoder";

mfxStatus ProbeQuickSync() {
  mfxVersion version{};
  version.Major = 1;
  version.Minor = 0;
  mfxSession session = nullptr;
  const mfxStatus sts = MFXInit(MFX_IMPL_HARDWARE_ANY, &version, &session);
  if (sts >= MFX_ERR_NONE && session != nullptr) MFXClose(session);
  return sts;
}

}  // namespace

bool HardwareEncoderAvailable() { return ProbeQuickSync() == MFX_ERR_NONE; }

std::unique_ptr<H264EncImpl> CreateHardwareEncoder() {
  const mfxStatus sts = ProbeQuickSync();
  if (sts != MFX_ERR_NONE) {
    LOG_INFO("Quick Sync not available (MFXInit: {})", MfxStatusName(sts));
    return nullptr;
  }
  return std::make_unique<QSVH264Imp>();
}

}  // namespace mediaworkflow::encoder
