#include "services/audio/sender_setting_info.h"

namespace crcp::audio {

std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& setting,
                                                 const std::string& address) {
  return crcp::video::ParseSenderSetting(address, setting, "MirrorAudio::SenderSetting");
}

}  // namespace crcp::audio
