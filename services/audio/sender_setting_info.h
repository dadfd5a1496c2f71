#pragma once

#include <memory>
#include <string>

#include "services/media_link/sender_setting_info.h"

namespace crcp::audio {

// The receiver's service setting as the audio service reads it: the same members as
// the video service's, {"cmdPort","codec","dataPort","version"}, plus the peer address
// the session protocol gave the service.
using SenderSettingInfo = crcp::video::SenderSettingInfo;

// Empty when the text is no JSON object, a member is missing or mistyped (ports and
// version must be unsigned 16-bit numbers, codec an array of strings), or the version
// is below 1. Logs under "MirrorAudio::SenderSetting".
std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& setting,
                                                 const std::string& address);

}  // namespace crcp::audio
