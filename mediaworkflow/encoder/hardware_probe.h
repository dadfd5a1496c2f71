#pragma once

#include <memory>

#include "mediaworkflow/encoder/h264_enc_impl.h"

namespace mediaworkflow::encoder {

// The hardware encoder's probe. No hardware back-end is built on this platform yet,
// so the probe answers "not available" and the factory makes nothing.
bool HardwareEncoderAvailable();
std::unique_ptr<H264EncImpl> CreateHardwareEncoder();

}  // namespace mediaworkflow::encoder
