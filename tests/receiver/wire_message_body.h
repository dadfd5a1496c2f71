#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// The body of a message packet and the content of a service message, as the receiver
// writes and reads them.
//
//   body:            {"content": <any JSON>, "id": <unsigned 16-bit>}   compact text
//   service message: {"message": <string>, "serviceId": <string>}       (the content of id 202)
//
// The JSON library writes object members in name order, so "content" precedes "id".
namespace receiver::wire {

// Control message ids of the session protocol.
enum MessageId : uint16_t {
  kShakeHand = 0,
  kHello = 1,
  kLaunchService = 4,
  kShakeHandResponse = 100,
  kLaunchServiceResponse = 101,
  kHelloResponse = 103,
  kServiceMessage = 202,
};

// Largest body the receiver accepts from a client: control messages are small, and a
// header announcing more is treated as a framing fault before anything is allocated.
constexpr uint32_t kMaxBodySize = 1u << 20;

struct MessageBody {
  uint16_t id = 0;
  nlohmann::json content;  // null when the member is absent
};

enum class BodyError {
  kNone,
  kNotJson,    // not valid JSON text
  kNotObject,  // valid JSON, but not an object
  kBadId,      // "id" missing, not an unsigned integer, or beyond 16 bits
};

std::string EncodeMessageBody(uint16_t id, const nlohmann::json& content);
// The same body with `content_text` as the content, written verbatim: for contents no
// JSON value can hold or write, such as nesting deeper than any stack.
std::string EncodeMessageBodyText(uint16_t id, const std::string& content_text);

// Strict on "id" (the client always writes an unsigned integer); an absent "content"
// reads as null.
BodyError DecodeMessageBody(const uint8_t* data, size_t size, MessageBody* out);

const char* ToString(BodyError error);

struct ServiceMessage {
  std::string service_id;
  std::string message;
};

nlohmann::json MakeServiceMessage(const std::string& service_id, const std::string& message);

// True when `content` is an object whose "serviceId" and "message" are both strings.
bool DecodeServiceMessage(const nlohmann::json& content, ServiceMessage* out);

}  // namespace receiver::wire
