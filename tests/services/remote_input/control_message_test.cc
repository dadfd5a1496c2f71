#include "services/remote_input/control_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crcp::ril {
namespace {

TEST(ControlMessage, EncodesCompactJson) {
  EXPECT_EQ(EncodeControlMessage(control::kStartResponse), R"({"id":100})");
  EXPECT_EQ(EncodeControlMessage(control::kStopRequest), R"({"id":2})");
  EXPECT_EQ(EncodeStartRefusal(), R"({"content":{"result":false},"id":100})");
  EXPECT_EQ(EncodeInitContext(7386), R"({"data_port":7386,"version":"R.4.3.5.17"})");
}

TEST(ControlMessage, ParseTable) {
  struct Case {
    const char* text;
    bool ok;
    uint16_t id;
    const char* content;  // compact JSON of the content when ok
  };
  const std::vector<Case> cases = {
      {R"({"id":0})", true, 0, "null"},
      {R"({"id":2})", true, 2, "null"},
      {R"({"id":100,"content":{"result":true}})", true, 100, R"({"result":true})"},
      {R"({"id":100,"content":{"result":false}})", true, 100, R"({"result":false})"},
      {R"({"content":7,"id":102})", true, 102, "7"},
      {R"({"id":65535,"content":{"code":-5}})", true, 65535, R"({"code":-5})"},
      {R"({"id":true})", true, 1, "null"},
      {R"({"id":100.0})", true, 100, "null"},
      {R"({"id":65536})", false, 0, ""},   // would wrap to a start request
      {R"({"id":-1})", false, 0, ""},
      {R"({"id":1e300})", false, 0, ""},
      {R"({"id":2.5})", false, 0, ""},
      {R"({"id":"0"})", false, 0, ""},
      {R"({"id":null})", false, 0, ""},
      {R"({"content":{}})", false, 0, ""},
      {R"([0])", false, 0, ""},
      {R"(7)", false, 0, ""},
      {"not json", false, 0, ""},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ControlMessage message;
    std::string error;
    ASSERT_EQ(ParseControlMessage(c.text, message, error), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(message.id, c.id);
      EXPECT_EQ(message.content.dump(), c.content);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(ControlMessage, ErrorCodeConversion) {
  using nlohmann::json;
  EXPECT_EQ(JsonToInteger(json(-5), INT32_MIN, INT32_MAX), -5);
  EXPECT_EQ(JsonToInteger(json(-5.0), INT32_MIN, INT32_MAX), -5);
  EXPECT_EQ(JsonToInteger(json(false), INT32_MIN, INT32_MAX), 0);
  EXPECT_FALSE(JsonToInteger(json(4294967296LL), INT32_MIN, INT32_MAX));
  EXPECT_FALSE(JsonToInteger(json(18446744073709551615ULL), INT32_MIN, INT32_MAX));
  EXPECT_FALSE(JsonToInteger(json("x"), INT32_MIN, INT32_MAX));
  EXPECT_FALSE(JsonToInteger(json::object(), INT32_MIN, INT32_MAX));
}

}  // namespace
}  // namespace crcp::ril
