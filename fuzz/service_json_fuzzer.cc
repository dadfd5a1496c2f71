// Feeds arbitrary text to every parser of a JSON text that a receiver sends inside
// a service message or a launch answer: the bounded parse itself, the remote-input
// control message, the device information and the video/audio service settings.
// None may crash, recurse without bound or accept a tree nested past the limit.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "services/device_info/device_info_offer.h"
#include "services/remote_input/control_message.h"
#include "services/media_link/sender_setting_info.h"
#include "utils/bounded_json.h"
#include "utils/logger.h"

namespace {

// Safe to recurse: only trees the bounded parse accepted get here.
int TreeDepth(const nlohmann::json& value) {
  if (!value.is_structured()) return 0;
  int deepest = 0;
  for (const auto& child : value) deepest = std::max(deepest, TreeDepth(child));
  return deepest + 1;
}

}  // namespace

// The parsers log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const auto tree = zorvax::utils::ParseBoundedJson(text, /*allow_exceptions=*/false);
  if (!tree.is_discarded()) {
    if (TreeDepth(tree) > zorvax::utils::kMaxJsonDepth) std::abort();
    // The client logs bodies this way; invalid UTF-8 must not throw.
    (void)tree.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }

  crcp::ril::ControlMessage message;
  std::string error;
  crcp::ril::ParseControlMessage(text, message, error);

  crcp::info::DeviceInfoOffer::ParseJsonData(text);

  if (auto setting = crcp::video::ParseSenderSetting("127.0.0.1", text, "fuzz")) {
    if (setting->version < crcp::video::kRequiredSenderVersion) std::abort();
  }
  return 0;
}
