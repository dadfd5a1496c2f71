#include "tests/receiver/wire_message_body.h"

#include <string>

#include <gtest/gtest.h>

namespace receiver::wire {
namespace {

BodyError Decode(const std::string& text, MessageBody* body) {
  return DecodeMessageBody(reinterpret_cast<const uint8_t*>(text.data()), text.size(), body);
}

TEST(WireMessageBody, EncodesCompactWithMembersInNameOrder) {
  EXPECT_EQ(EncodeMessageBody(100, {{"uuid", "u"}, {"heartBeatPort", 7386}}),
            R"({"content":{"heartBeatPort":7386,"uuid":"u"},"id":100})");
  EXPECT_EQ(EncodeMessageBody(103, nullptr), R"({"content":null,"id":103})");
}

TEST(WireMessageBody, DecodeTable) {
  struct Case {
    const char* text;
    BodyError error;
    uint16_t id;
    const char* content;  // compact dump when decoded
  } cases[] = {
      {R"({"content":{"a":1},"id":0})", BodyError::kNone, 0, R"({"a":1})"},
      {R"({"id":65535,"content":[1,"x"]})", BodyError::kNone, 65535, R"([1,"x"])"},
      {R"({"id":1})", BodyError::kNone, 1, "null"},
      {R"({"id":"1","content":null})", BodyError::kBadId, 0, ""},
      {R"({"id":-1,"content":null})", BodyError::kBadId, 0, ""},
      {R"({"id":65536,"content":null})", BodyError::kBadId, 0, ""},
      {R"({"id":1.5,"content":null})", BodyError::kBadId, 0, ""},
      {R"({"content":null})", BodyError::kBadId, 0, ""},
      {R"([0,null])", BodyError::kNotObject, 0, ""},
      {R"({"id":0,"content":)", BodyError::kNotJson, 0, ""},
      {"", BodyError::kNotJson, 0, ""},
  };
  for (const auto& c : cases) {
    MessageBody body;
    EXPECT_EQ(Decode(c.text, &body), c.error) << c.text;
    if (c.error == BodyError::kNone) {
      EXPECT_EQ(body.id, c.id) << c.text;
      EXPECT_EQ(body.content.dump(), c.content) << c.text;
    }
  }
}

TEST(WireMessageBody, ServiceMessageNeedsTwoStrings) {
  auto content = MakeServiceMessage("remote_input.r", "{\"id\":0}");
  EXPECT_EQ(content.dump(), R"({"message":"{\"id\":0}","serviceId":"remote_input.r"})");
  ServiceMessage message;
  ASSERT_TRUE(DecodeServiceMessage(content, &message));
  EXPECT_EQ(message.service_id, "remote_input.r");
  EXPECT_EQ(message.message, "{\"id\":0}");

  for (const char* bad : {R"({"serviceId":"s","message":{"id":0}})", R"({"message":"m"})",
                          R"({"serviceId":1,"message":"m"})", R"("text")", "null"}) {
    EXPECT_FALSE(DecodeServiceMessage(nlohmann::json::parse(bad), &message)) << bad;
  }
}

}  // namespace
}  // namespace receiver::wire
