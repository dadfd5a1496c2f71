#include "mediaworkflow/encoder/hardware_probe.h"

namespace mediaworkflow::encoder {

bool HardwareEncoderAvailable() { return false; }

std::unique_ptr<H264EncImpl> CreateHardwareEncoder() {
  if (!HardwareEncoderAvailable()) return nullptr;
  return nullptr;
}

}  // namespace mediaworkflow::encoder
