#include "services/remote_input/control_message.h"

#include <cmath>

#include "utils/bounded_json.h"

namespace crcp::ril {

std::optional<int64_t> JsonToInteger(const nlohmann::json& value, int64_t min, int64_t max) {
  int64_t result;
  if (value.is_boolean()) {
    result = value.get<bool>() ? 1 : 0;
  } else if (value.is_number_unsigned()) {
    const uint64_t u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    result = static_cast<int64_t>(u);
  } else if (value.is_number_integer()) {
    result = value.get<int64_t>();
  } else if (value.is_number_float()) {
    const double d = value.get<double>();
    // Compared as doubles first, so a huge or non-finite value never reaches the cast.
    if (!std::isfinite(d) || d != std::floor(d) || d < static_cast<double>(min) ||
        d > static_cast<double>(max))
      return std::nullopt;
    result = static_cast<int64_t>(d);
  } else {
    return std::nullopt;
  }
  if (result < min || result > max) return std::nullopt;
  return result;
}

bool ParseControlMessage(const std::string& text, ControlMessage& out, std::string& error) {
  const nlohmann::json message = zorvax::utils::ParseBoundedJson(text, /*allow_exceptions=*/false);
  if (message.is_discarded()) {
    error = "not JSON or nested too deeply";
    return false;
  }
  if (!message.is_object()) {
    error = "not a JSON object";
    return false;
  }
  const auto id = message.find("id");
  if (id == message.end()) {
    error = "no \"id\"";
    return false;
  }
  const auto value = JsonToInteger(*id, 0, 65535);
  if (!value) {
    error = "\"id\" " + id->dump() + " is not a message id";
    return false;
  }
  out.id = static_cast<uint16_t>(*value);
  const auto content = message.find("content");
  out.content = content == message.end() ? nlohmann::json() : *content;
  return true;
}

std::string EncodeControlMessage(uint16_t id) { return nlohmann::json{{"id", id}}.dump(); }

std::string EncodeStartRefusal() {
  // Members in name order: "content", "id".
  return nlohmann::json{{"content", {{"result", false}}}, {"id", control::kStartResponse}}.dump();
}

std::string EncodeInitContext(uint16_t data_port) {
  // nlohmann::json keeps members in name order: "data_port", "version".
  return nlohmann::json{{"data_port", data_port}, {"version", kRemoteInputVersion}}.dump();
}

}  // namespace crcp::ril
