#pragma once

#include <memory>

#include "mediaworkflow/encoder/h264_enc_impl.h"

namespace mediaworkflow::encoder {

// Whether a hardware (Quick Sync) session opens on this machine: the Media SDK
// dispatcher finds a runtime and a device for it.
bool HardwareEncoderAvailable();
// The Quick Sync back-end when the probe succeeds, else nothing (and the log says
// why).
std::unique_ptr<H264EncImpl> CreateHardwareEncoder();

}  // namespace mediaworkflow::encoder
