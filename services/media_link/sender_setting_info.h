#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace crcp::video {

// The receiver's service setting, the launch answer's context of the video and audio
// services:
//   {"cmdPort": u16, "codec": [string, ...] most preferred first, "dataPort": u16,
//    "version": u16 >= 1}
// with the receiver's address as the service was given it.
struct SenderSettingInfo {
  uint16_t dataPort = 0;
  uint16_t cmdPort = 0;
  uint16_t version = 0;
  std::string address;
  std::vector<std::string> codec;
};

// Lowest protocol version of the receiver this client talks to.
constexpr uint16_t kRequiredSenderVersion = 1;

// The setting for (address, text); empty when the text does not parse, a member is
// missing, of the wrong type or outside u16 (a port of 70000 is not port 4464), or the
// version is below kRequiredSenderVersion. Log tag "MirrorVideo::SenderSetting".
std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& address,
                                                 const std::string& text);

// The same parse for a service that logs under its own tag (the audio service reads the
// same members).
std::shared_ptr<SenderSettingInfo> ParseSenderSetting(const std::string& address,
                                                      const std::string& text,
                                                      const std::string& log_tag);

// The service offer, {"version":1}.
std::string CreateSenderOffer();

}  // namespace crcp::video
