#include "crcp/service_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "crcp/auth_manager.h"
#include "crcp/config.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using ::testing::_;
using ::testing::Return;
using testing_support::LogCapture;

class MockService : public IService {
 public:
  MockService(std::string id, std::string peer) : id_(std::move(id)), peer_(std::move(peer)) {}
  std::string GetServiceId() override { return id_; }
  std::string GetPeerServiceId() override { return peer_; }
  MOCK_METHOD(void, HandleMsg, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, SetMessageSender, (MessageSender), (override));
  MOCK_METHOD(std::string, InitConnection, (const std::string&, const std::string&), (override));
  MOCK_METHOD(bool, SetupConnection, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, Disconnect, (const std::string&), (override));
  MOCK_METHOD(void, Shutdown, (), (override));

 private:
  std::string id_, peer_;
};

TEST(ServiceManagerTest, PeerNamesStaySortedAndTheFirstServiceOfAnIdWins) {
  ServiceManager registry;
  auto video = std::make_shared<MockService>("video_mirror.c", "video_mirror.s");
  auto audio = std::make_shared<MockService>("audio_mirror.c", "audio_mirror.s");
  auto second_video = std::make_shared<MockService>("video_mirror.c", "other.s");
  registry.AddService(video);
  registry.AddService(audio);
  registry.AddService(second_video);
  EXPECT_EQ(registry.GetPeerServiceIds(),
            (std::list<std::string>{"audio_mirror.s", "other.s", "video_mirror.s"}));
  EXPECT_EQ(registry.GetPeerServiceId("video_mirror.c"), "video_mirror.s");
  EXPECT_EQ(registry.GetPeerServiceId("nope"), "");

  EXPECT_CALL(*video, HandleMsg("s1", "hello"));
  EXPECT_CALL(*second_video, HandleMsg(_, _)).Times(0);
  registry.Deliver("s1", "video_mirror.c", "hello");
}

TEST(ServiceManagerTest, SenderReachesEarlierAndLaterServices) {
  ServiceManager registry;
  auto early = std::make_shared<MockService>("a", "a.s");
  auto late = std::make_shared<MockService>("b", "b.s");
  EXPECT_CALL(*early, SetMessageSender(_)).Times(1);
  EXPECT_CALL(*late, SetMessageSender(_)).Times(1);
  registry.AddService(early);
  registry.SetMessageSender([](const std::string&, const std::string&, const std::string&) {});
  registry.AddService(late);
}

TEST(ServiceManagerTest, UnknownNamesNeverThrow) {
  LogCapture::Get().Clear();
  ServiceManager registry;
  registry.Deliver("s", "ghost", "m");
  EXPECT_EQ(registry.Init("s", "127.0.0.1", "ghost"), "");
  EXPECT_FALSE(registry.Setup("s", "ghost", "{}"));
  registry.Stop("s", "ghost");
  EXPECT_EQ(LogCapture::Get().Count("No service: ghost found, fail to deliver messag: m"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("Fail to init service ghost, not found"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("Fail to setup service ghost, not found"), 1u);
  EXPECT_EQ(LogCapture::Get().Count("Fail to stop service ghost, not found"), 1u);
}

TEST(ServiceManagerTest, InitSetupAndStopReachTheService) {
  ServiceManager registry;
  auto svc = std::make_shared<MockService>("a", "a.s");
  registry.AddService(svc);
  EXPECT_CALL(*svc, InitConnection("s", "127.0.0.1")).WillOnce(Return("{\"port\":1}"));
  EXPECT_CALL(*svc, SetupConnection("s", "ctx")).WillOnce(Return(true)).WillOnce(Return(false));
  EXPECT_CALL(*svc, Disconnect("s"));
  EXPECT_EQ(registry.Init("s", "127.0.0.1", "a"), "{\"port\":1}");
  EXPECT_TRUE(registry.Setup("s", "a", "ctx"));
  EXPECT_FALSE(registry.Setup("s", "a", "ctx"));
  registry.Stop("s", "a");
}

// A service's state under an id is stopped by the last of the sessions under that id
// that launched it, whatever order they go in; an empty context holds nothing.
TEST(ServiceManagerTest, OnlyTheLastHolderUnderAnIdStopsTheService) {
  ServiceManager registry;
  auto svc = std::make_shared<::testing::NiceMock<MockService>>("a", "a.s");
  registry.AddService(svc);
  ON_CALL(*svc, InitConnection(_, _)).WillByDefault(Return("{}"));
  const struct {
    const char* what;
    std::vector<ServiceManager::Holder> launch, release;
  } cases[] = {
      {"the first launcher goes first", {1, 2}, {1, 2}},
      {"the newest launcher goes first", {1, 2}, {2, 1}},
      {"three under one id", {1, 2, 3}, {2, 3, 1}},
      {"one launcher", {1}, {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto holder : c.launch) registry.Init("s", "127.0.0.1", "a", holder);
    for (size_t i = 0; i + 1 < c.release.size(); ++i) {
      EXPECT_CALL(*svc, Disconnect("s")).Times(0);
      EXPECT_FALSE(registry.Release("s", "a", c.release[i]));
      ::testing::Mock::VerifyAndClearExpectations(svc.get());
    }
    EXPECT_CALL(*svc, Disconnect("s")).Times(1);
    EXPECT_TRUE(registry.Release("s", "a", c.release.back()));
    ::testing::Mock::VerifyAndClearExpectations(svc.get());
  }
  // Declined launches hold nothing; an id nobody holds is stopped by whoever lets go.
  EXPECT_CALL(*svc, InitConnection(_, _)).WillOnce(Return(""));
  registry.Init("s", "127.0.0.1", "a", 7);
  EXPECT_CALL(*svc, Disconnect("s")).Times(1);
  EXPECT_TRUE(registry.Release("s", "a", 8));
}

TEST(ConfigTest, DefaultsAndOverrides) {
  Config& config = Config::Instance();
  EXPECT_EQ(config.GetPorts(), (std::pair<uint16_t, uint16_t>{7386, 7435}));
  EXPECT_EQ(config.GetHeartBeatTimeout(), 2000);
  EXPECT_STREQ(config.GetPeerVersionPlaceholder(), "U.0.0.0.0");
  EXPECT_EQ(std::string(config.GetDefaultAuthKey()).size(), 6u);
  EXPECT_EQ(AuthManager().GetAuthKey(), config.GetDefaultAuthKey());
  EXPECT_EQ(config.GetBindAddress(), "");
  config.SetPorts(27000, 27009);
  EXPECT_EQ(config.GetPorts(), (std::pair<uint16_t, uint16_t>{27000, 27009}));
  config.SetHeartBeatTimeout(15000);
  EXPECT_EQ(config.GetHeartBeatTimeout(), 15000);
}

}  // namespace
}  // namespace crcp
