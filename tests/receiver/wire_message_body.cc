#include "tests/receiver/wire_message_body.h"

namespace receiver::wire {

std::string EncodeMessageBody(uint16_t id, const nlohmann::json& content) {
  nlohmann::json body = {{"id", id}, {"content", content}};
  return body.dump();
}

std::string EncodeMessageBodyText(uint16_t id, const std::string& content_text) {
  return "{\"content\":" + content_text + ",\"id\":" + std::to_string(id) + "}";
}

BodyError DecodeMessageBody(const uint8_t* data, size_t size, MessageBody* out) {
  if (data == nullptr && size != 0) return BodyError::kNotJson;
  const char* text = reinterpret_cast<const char*>(data);
  nlohmann::json body =
      nlohmann::json::parse(text, text + size, /*cb=*/nullptr, /*allow_exceptions=*/false);
  if (body.is_discarded()) return BodyError::kNotJson;
  if (!body.is_object()) return BodyError::kNotObject;
  auto id = body.find("id");
  if (id == body.end() || !id->is_number_unsigned()) return BodyError::kBadId;
  uint64_t value = id->get<uint64_t>();
  if (value > 0xFFFF) return BodyError::kBadId;
  out->id = static_cast<uint16_t>(value);
  auto content = body.find("content");
  out->content = content == body.end() ? nlohmann::json() : *content;
  return BodyError::kNone;
}

const char* ToString(BodyError error) {
  switch (error) {
    case BodyError::kNone:
      return "none";
    case BodyError::kNotJson:
      return "body is not JSON";
    case BodyError::kNotObject:
      return "body is not a JSON object";
    case BodyError::kBadId:
      return "body has no unsigned 16-bit \"id\"";
  }
  return "unknown";
}

nlohmann::json MakeServiceMessage(const std::string& service_id, const std::string& message) {
  return {{"serviceId", service_id}, {"message", message}};
}

bool DecodeServiceMessage(const nlohmann::json& content, ServiceMessage* out) {
  if (!content.is_object()) return false;
  auto id = content.find("serviceId");
  auto message = content.find("message");
  if (id == content.end() || !id->is_string() || message == content.end() ||
      !message->is_string())
    return false;
  out->service_id = id->get<std::string>();
  out->message = message->get<std::string>();
  return true;
}

}  // namespace receiver::wire
