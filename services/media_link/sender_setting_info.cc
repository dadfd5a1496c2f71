#include "services/media_link/sender_setting_info.h"

#include <limits>

#include <nlohmann/json.hpp>

#include "utils/bounded_json.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {

const char* const kLogTag = "MirrorVideo::SenderSetting";

bool ReadU16(const nlohmann::json& body, const char* name, uint16_t* out) {
  const auto it = body.find(name);
  if (it == body.end() || !it->is_number_integer()) return false;
  if (it->is_number_unsigned()) {
    const uint64_t v = it->get<uint64_t>();
    if (v > std::numeric_limits<uint16_t>::max()) return false;
    *out = static_cast<uint16_t>(v);
    return true;
  }
  const int64_t v = it->get<int64_t>();
  if (v < 0 || v > std::numeric_limits<uint16_t>::max()) return false;
  *out = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

std::shared_ptr<SenderSettingInfo> CreateSetting(const std::string& address,
                                                 const std::string& text) {
  return ParseSenderSetting(address, text, kLogTag);
}

std::shared_ptr<SenderSettingInfo> ParseSenderSetting(const std::string& address,
                                                      const std::string& text,
                                                      const std::string& log_tag) {
  namespace logger = zorvax::utils::logger;
  auto setting = std::make_shared<SenderSettingInfo>();
  const auto body = zorvax::utils::ParseBoundedJson(text, /*allow_exceptions=*/false);
  bool ok = !body.is_discarded() && body.is_object() && ReadU16(body, "dataPort", &setting->dataPort) &&
            ReadU16(body, "cmdPort", &setting->cmdPort) && ReadU16(body, "version", &setting->version);
  if (ok) {
    const auto codec = body.find("codec");
    ok = codec != body.end() && codec->is_array();
    if (ok) {
      for (const auto& name : *codec) {
        if (!name.is_string()) {
          ok = false;
          break;
        }
        setting->codec.push_back(name.get<std::string>());
      }
    }
  }
  if (!ok) {
    logger::Error(log_tag, ZORVAX_LOG_WHERE, "json parse faile");
    return nullptr;
  }
  if (setting->version < kRequiredSenderVersion) {
    logger::Error(log_tag, ZORVAX_LOG_WHERE,
                  fmt::format("receive version too low, required {}", kRequiredSenderVersion));
    return nullptr;
  }
  setting->address = address;
  return setting;
}

std::string CreateSenderOffer() { return nlohmann::json{{"version", 1}}.dump(); }

}  // namespace crcp::video
