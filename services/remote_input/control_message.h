#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// The remote-input control messages, carried as the text of session-protocol service
// messages: a JSON object {"id": number, "content": any (optional)}. The client sends
// {"id":N}, and refuses a start with the start response's content {"result":false}.
// The init context announces the data port: {"data_port":7386,"version":"R.4.3.5.17"}.
namespace crcp::ril {

namespace control {
constexpr uint16_t kStartRequest = 0;
constexpr uint16_t kStopRequest = 2;
constexpr uint16_t kStartResponse = 100;
constexpr uint16_t kStopResponse = 102;
constexpr uint16_t kError = 65535;
}  // namespace control

constexpr const char* kRemoteInputVersion = "R.4.3.5.17";

struct ControlMessage {
  uint16_t id = 0;
  nlohmann::json content;  // null when absent
};

// Decodes a received message. False with `error` set when the text is not a JSON
// object, has no "id", or the id is not a number in 0..65535 (an integer, a boolean,
// or a floating-point number with an integral value; anything else would wrap).
bool ParseControlMessage(const std::string& text, ControlMessage& out, std::string& error);
// {"id":N}
std::string EncodeControlMessage(uint16_t id);
// The start response that refuses a start: {"content":{"result":false},"id":100}, the
// form in which the receiver refuses the client's start.
std::string EncodeStartRefusal();

// A JSON number (or boolean) as an integer in [min, max]: integral floats are taken,
// fractional ones, out-of-range values and other types are not.
std::optional<int64_t> JsonToInteger(const nlohmann::json& value, int64_t min, int64_t max);

// The init context with the data receiver's port.
std::string EncodeInitContext(uint16_t data_port);

}  // namespace crcp::ril
