#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace crcp::audio {

// The receiver's service setting as the audio service reads it (the same members as
// the video service's): {"cmdPort","codec","dataPort","version"}, plus the peer
// address the session protocol gave the service.
struct SenderSettingInfo {
  uint16_t dataPort = 0;
  uint16_t cmdPort = 0;
  uint16_t version = 0;
  std::string address;
  std::vector<std::string> codec;
};

// Empty when the text is no JSON object, a member is missing or mistyped (ports and
// version must be unsigned 16-bit numbers, codec an array of strings), or the version
// is below 1.
std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& setting,
                                                 const std::string& address);

}  // namespace crcp::audio
