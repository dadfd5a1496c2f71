// The data port comes from the session configuration's port range, 7386..7435 by
// default, not from the raw stored value (whose low half is 7382). Binds a fixed port:
// runs alone.
#include <gtest/gtest.h>

#include <memory>

#include "crcp/config.h"
#include "services/remote_input/remote_input_server.h"

namespace crcp::ril {
namespace {

TEST(RemoteInputServerPorts, DataPortIsInTheConfiguredRange) {
  Config::Instance().SetBindAddress("127.0.0.1");
  ASSERT_EQ(Config::Instance().GetPorts(), (std::pair<uint16_t, uint16_t>{7386, 7435}));
  RemoteInputServer server(nullptr);
  const std::string context = server.InitConnection("s1", "127.0.0.1");
  ASSERT_NE(context, "");
  EXPECT_GE(server.GetDataPort(), 7386);
  EXPECT_LE(server.GetDataPort(), 7435);
}

}  // namespace
}  // namespace crcp::ril
