#include "services/audio/sender_setting_info.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "utils/logger.h"

namespace crcp::audio {
namespace {

const char* const kLogTag = "MirrorAudio::SenderSetting";
constexpr uint16_t kRequiredVersion = 1;

bool ReadU16(const nlohmann::json& body, const char* name, uint16_t* out) {
  const auto it = body.find(name);
  if (it == body.end() || !it->is_number_unsigned()) return false;
  const uint64_t value = it->get<uint64_t>();
  if (value > std::numeric_limits<uint16_t>::max()) return false;
  *out = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& setting,
                                                 const std::string& address) {
  const nlohmann::json body = nlohmann::json::parse(setting, nullptr, false);
  auto info = std::make_shared<SenderSettingInfo>();
  bool ok = !body.is_discarded() && body.is_object() && ReadU16(body, "dataPort", &info->dataPort) &&
            ReadU16(body, "cmdPort", &info->cmdPort) && ReadU16(body, "version", &info->version);
  if (ok) {
    const auto codec = body.find("codec");
    ok = codec != body.end() && codec->is_array();
    if (ok) {
      for (const auto& name : *codec) {
        if (!name.is_string()) {
          ok = false;
          break;
        }
        info->codec.push_back(name.get<std::string>());
      }
    }
  }
  if (!ok) {
    LOG_ERROR("json parse faile");
    return nullptr;
  }
  if (info->version < kRequiredVersion) {
    LOG_ERROR("receive version too low, required {}", kRequiredVersion);
    return nullptr;
  }
  info->address = address;
  return info;
}

}  // namespace crcp::audio
