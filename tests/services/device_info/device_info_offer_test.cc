#include "services/device_info/device_info_offer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/system/sim_system_facts.h"
#include "tests/support/log_capture.h"

namespace crcp::info {
namespace {

using platform::system::SimSystemFacts;
using platform::system::SystemFact;
using testing_support::LogCapture;

TEST(DeviceInfoOffer, Identity) {
  SimSystemFacts facts;
  DeviceInfoOffer offer(facts);
  EXPECT_EQ(offer.GetServiceId(), "device_info_offer");
  EXPECT_EQ(offer.GetPeerServiceId(), "device_info_offer");
}

TEST(DeviceInfoOffer, OfferIsCompactSortedUtf8WithEscapedQuotes) {
  SimSystemFacts facts;
  facts.host_name = SystemFact::Of("Raum 3");
  facts.user_name = SystemFact::Of("Zo\xC3\xAB \"the\" \xC3\x9Cnal");  // Zoë "the" Ünal
  facts.os_version = SystemFact::Of("Debian GNU/Linux 12 (bookworm)");
  DeviceInfoOffer offer(facts);
  EXPECT_EQ(offer.InitConnection("s1", "127.0.0.1"),
            "{\"deviceName\":\"Raum 3\",\"osName\":\"Linux\","
            "\"osVersion\":\"Debian GNU/Linux 12 (bookworm)\","
            "\"userName\":\"Zo\xC3\xAB \\\"the\\\" \xC3\x9Cnal\",\"version\":\"R.2.2.6.26\"}");
}

TEST(DeviceInfoOffer, FailedFactsGiveEmptyOrUnknownValues) {
  SimSystemFacts facts;
  facts.host_name = SystemFact::Failed("no host");
  facts.user_name = SystemFact::Failed("no user");
  facts.os_version = SystemFact::Failed("no os-release");
  DeviceInfoOffer offer(facts);
  EXPECT_EQ(offer.InitConnection("s1", ""),
            R"({"deviceName":"","osName":"Linux","osVersion":"unknown","userName":"",)"
            R"("version":"R.2.2.6.26"})");
}

TEST(DeviceInfoOffer, NameInALegacyEncodingDoesNotCostTheOffer) {
  SimSystemFacts facts;
  facts.user_name = SystemFact::Of("J\xF6rg");  // Latin-1, not UTF-8
  DeviceInfoOffer offer(facts);
  const std::string text = offer.InitConnection("s1", "");
  EXPECT_NE(text.find("\"userName\":\"J\xEF\xBF\xBDrg\""), std::string::npos) << text;
}

TEST(DeviceInfoOffer, ParseTable) {
  using Map = std::map<std::string, std::string>;
  struct Case {
    const char* text;
    Map expected;
    const char* skipped = nullptr;  // the one log line naming what was left out
  };
  const std::vector<Case> cases = {
      {R"({"deviceName":"Room 1","version":"R.1"})",
       {{"deviceName", "Room 1"}, {"version", "R.1"}}},
      {R"({"free":"x"})", {{"free", "x"}}},
      {R"({})", {}},
      // A member of another type is skipped on its own, wherever it sorts.
      {R"({"zeta":"z","osName":5,"deviceName":"D"})", {{"deviceName", "D"}, {"zeta", "z"}},
       "not strings: osName"},
      {R"({"a":null,"b":"x"})", {{"b", "x"}}, "not strings: a"},
      {R"({"aaSeats":12,"deviceName":"Room 7","flags":{"x":1},"osName":"Android","tags":["a"],"version":"R.3"})",
       {{"deviceName", "Room 7"}, {"osName", "Android"}, {"version", "R.3"}},
       "Skip peer properties that are not strings: aaSeats, flags, tags"},
      {R"(["a","b"])", {}},
      {R"("text")", {}},
      {"not json", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    LogCapture::Get().Clear();
    EXPECT_EQ(DeviceInfoOffer::ParseJsonData(c.text), c.expected);
    EXPECT_EQ(LogCapture::Get().Count("Skip peer properties"), c.skipped ? 1u : 0u);
    if (c.skipped) {
      EXPECT_EQ(LogCapture::Get().Count(c.skipped), 1u);
    }
  }
}

TEST(DeviceInfoOffer, PeerPropertiesFromSetupAndLaterMessages) {
  SimSystemFacts facts;
  DeviceInfoOffer offer(facts);
  offer.InitConnection("s1", "127.0.0.1");
  ASSERT_TRUE(offer.SetupConnection("s1", R"({"deviceName":"Room 1","version":"R.1"})"));
  DeviceInfo peer = offer.GetPeerProperties("s1");
  EXPECT_EQ(peer.device_name, "Room 1");
  EXPECT_EQ(peer.version, "R.1");
  EXPECT_EQ(peer.os_name, "");
  EXPECT_EQ(peer.os_version, "");
  EXPECT_EQ(peer.user_name, "");

  // A later message adds what is new and keeps what is known.
  offer.HandleMsg("s1", R"({"deviceName":"Other","osName":"Android","userName":"Desk"})");
  peer = offer.GetPeerProperties("s1");
  EXPECT_EQ(peer.device_name, "Room 1");
  EXPECT_EQ(peer.os_name, "Android");
  EXPECT_EQ(peer.user_name, "Desk");

  // A new setup replaces the whole store; a member of another type is left out alone.
  ASSERT_TRUE(offer.SetupConnection("s1", R"({"deviceName":"Hall","osName":7,"version":"R.2"})"));
  peer = offer.GetPeerProperties("s1");
  EXPECT_EQ(peer.device_name, "Hall");
  EXPECT_EQ(peer.os_name, "");
  EXPECT_EQ(peer.version, "R.2");

  // InitConnection again keeps the store; Disconnect drops it.
  offer.InitConnection("s1", "127.0.0.1");
  EXPECT_EQ(offer.GetPeerProperties("s1").device_name, "Hall");
  offer.Disconnect("s1");
  EXPECT_EQ(offer.GetPeerProperties("s1").device_name, "");
}

// A peer that keeps sending new members fills its store only up to the bounds; what
// comes after is refused, a known member included. A new setup starts a fresh store.
TEST(DeviceInfoOffer, WhatIsKeptOfAPeerIsBounded) {
  auto members = [](size_t count, size_t value_size) {
    nlohmann::json junk = nlohmann::json::object();
    for (size_t i = 0; i < count; ++i)
      junk[fmt::format("a{:05}", i)] = std::string(value_size, 'v');
    return junk.dump();
  };
  struct Case {
    const char* name;
    std::string flood;
  };
  const Case cases[] = {
      {"members", members(DeviceInfoOffer::kMaxPeerProperties, 1)},
      {"bytes", members(1, DeviceInfoOffer::kMaxPeerBytes - 26)},  // 4 bytes left
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimSystemFacts facts;
    DeviceInfoOffer offer(facts);
    offer.InitConnection("s1", "127.0.0.1");
    ASSERT_TRUE(offer.SetupConnection("s1", R"({"deviceName":"Room 1"})"));
    offer.HandleMsg("s1", c.flood);
    offer.HandleMsg("s1", R"({"userName":"Desk"})");
    EXPECT_EQ(offer.GetPeerProperties("s1").device_name, "Room 1");
    EXPECT_EQ(offer.GetPeerProperties("s1").user_name, "") << "refused: no room left";
    ASSERT_TRUE(offer.SetupConnection("s1", R"({"userName":"Desk"})"));
    EXPECT_EQ(offer.GetPeerProperties("s1").user_name, "Desk");
  }
}

TEST(DeviceInfoOffer, UnknownSession) {
  SimSystemFacts facts;
  DeviceInfoOffer offer(facts);
  EXPECT_FALSE(offer.SetupConnection("never", R"({"deviceName":"X"})"));
  offer.HandleMsg("never", R"({"deviceName":"X"})");
  EXPECT_EQ(offer.GetPeerProperties("never").device_name, "");
  offer.InitConnection("s1", "");
  offer.Shutdown();
  EXPECT_FALSE(offer.SetupConnection("s1", "{}"));
}

// The GUI thread reads the store while the task thread changes it.
TEST(DeviceInfoOffer, GuiReadsWhileTheTaskThreadWrites) {
  SimSystemFacts facts;
  DeviceInfoOffer offer(facts);
  std::atomic<bool> done{false};
  std::thread gui([&] {
    while (!done) {
      DeviceInfo peer = offer.GetPeerProperties("s1");
      if (!peer.device_name.empty()) {
        EXPECT_EQ(peer.device_name, "Room 1");
      }
    }
  });
  for (int i = 0; i < 300; ++i) {
    offer.InitConnection("s1", "127.0.0.1");
    offer.SetupConnection("s1", R"({"deviceName":"Room 1"})");
    offer.HandleMsg("s1", R"({"userName":"u)" + std::to_string(i) + R"("})");
    if (i % 3 == 0) offer.Disconnect("s1");
  }
  done = true;
  gui.join();
}

}  // namespace
}  // namespace crcp::info
