#include "services/video/video_provider.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/display/sim_virtual_display_driver.h"
#include "services/media_link/video_packet.h"
#include "tests/services/video/fake_video_source.h"

namespace crcp::video {
namespace {

using testing::FakeSourceController;
constexpr std::chrono::seconds kBound{10};

class VideoProviderTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeSourceController> source_ = std::make_shared<FakeSourceController>();
  std::shared_ptr<GlobalSourceController> controller_ = std::make_shared<GlobalSourceController>(
      source_, std::make_shared<VDevUtils::VirtualScreen>(
                   std::make_shared<platform::display::SimVirtualDisplayDriver>()));
};

TEST_F(VideoProviderTest, SamplesBecomeDataPackets) {
  VideoProvider provider(controller_);
  provider.Start();
  EXPECT_TRUE(controller_->IsRunning());
  source_->Emit(0x01020304);
  std::vector<uint8_t> packet;
  ASSERT_TRUE(provider.OfferPacket(packet));
  const std::vector<uint8_t> expected = {
      0x00, 0x00, 0x00, 0x00,                          // type 0: a sample
      0x00, 0x00, 0x00, 0x04,                          // 4 body bytes
      0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04,  // the sample's stamp
      0x01, 0x02, 0x03, 0x04,                          // the sample as encoded
  };
  EXPECT_EQ(packet, expected);
  EXPECT_EQ(provider.InCount(), 1u);
  EXPECT_EQ(provider.OutCount(), 1u);
}

TEST_F(VideoProviderTest, StopEndsOffersAndRestartBeginsAfresh) {
  VideoProvider provider(controller_);
  provider.Start();
  source_->Emit(1);
  source_->Emit(2);
  provider.Stop();
  EXPECT_FALSE(controller_->IsRunning());
  std::vector<uint8_t> packet;
  EXPECT_FALSE(provider.OfferPacket(packet));
  source_->Emit(3);  // a stopped provider takes nothing

  provider.Start();
  EXPECT_EQ(provider.Queued(), 0u) << "packets from before the restart are discarded";
  EXPECT_EQ(provider.InCount(), 0u);
  source_->Emit(4);
  ASSERT_TRUE(provider.OfferPacket(packet));
  EXPECT_EQ(packet.back(), 4);
}

// Two providers on one pipeline each get every sample; neither replaces the other.
TEST_F(VideoProviderTest, ProvidersHaveNamesOfTheirOwn) {
  VideoProvider a(controller_), b(controller_);
  EXPECT_NE(a.name(), b.name());
  a.Start();
  source_->ClearCalls();
  b.Start();
  EXPECT_EQ(source_->Calls(), (std::vector<std::string>{"RequestKeyFrame"}));
  source_->Emit(7);
  EXPECT_EQ(a.Queued(), 1u);
  EXPECT_EQ(b.Queued(), 1u);
  a.Stop();
  EXPECT_TRUE(controller_->IsRunning());
  b.Stop();
  EXPECT_FALSE(controller_->IsRunning());
}

// A receiver that takes nothing: two packets wait, the third sample is held, and the
// monitor reports the congestion as link statistics (score 1, the rest 0).
TEST_F(VideoProviderTest, CongestionIsReported) {
  VideoProvider::Options options;
  options.round = std::chrono::milliseconds(1);
  options.report_rounds = 5;
  VideoProvider provider(controller_, options);
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<uint32_t> report;
  provider.SetTcpInfoCallback([&](uint32_t score, uint32_t bandwidth, uint32_t rto, uint32_t rtt) {
    std::lock_guard<std::mutex> lock(mutex);
    if (report.empty()) report = {score, bandwidth, rto, rtt};
    cv.notify_all();
  });
  provider.Start();
  auto producer = std::async(std::launch::async, [&] {
    for (uint32_t n = 1; n <= 3; ++n) source_->Emit(n);
  });
  EXPECT_EQ(producer.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
      << "the third sample must wait for room";
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, kBound, [&] { return !report.empty(); }));
    EXPECT_EQ(report, (std::vector<uint32_t>{1, 0, 0, 0}));
  }
  EXPECT_EQ(provider.Queued(), 2u);
  provider.Stop();  // releases the held sample
  ASSERT_EQ(producer.wait_for(kBound), std::future_status::ready);
}

// Waits until `done` holds; false when it does not within the bound.
template <typename Condition>
bool Eventually(Condition done) {
  const auto until = std::chrono::steady_clock::now() + kBound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A pipeline restart (here a change of the encoder) turns away the sample that waits
// for room. It is not counted: after the restart a full ring with a sample waiting is
// congestion again, and reported as such.
TEST_F(VideoProviderTest, SampleTurnedAwayByARestartIsNotCounted) {
  VideoProvider::Options options;
  options.round = std::chrono::milliseconds(1);
  options.report_rounds = 5;
  VideoProvider provider(controller_, options);
  provider.Start();
  source_->Emit(1);
  source_->Emit(2);
  auto waiting = std::async(std::launch::async, [&] { source_->Emit(3); });
  ASSERT_TRUE(Eventually([&] { return provider.InCount() == 3; }));
  controller_->SetHardwareEnabled(false);
  ASSERT_EQ(waiting.wait_for(kBound), std::future_status::ready) << "the restart releases it";
  EXPECT_EQ(provider.InCount(), 2u);
  EXPECT_EQ(provider.Queued(), 2u);

  auto next = std::async(std::launch::async, [&] { source_->Emit(4); });
  ASSERT_TRUE(Eventually([&] { return provider.InCount() == 3; }));
  std::atomic<int> reports{0};
  provider.SetTcpInfoCallback([&](uint32_t score, uint32_t, uint32_t, uint32_t) {
    if (score == 1) ++reports;
  });
  EXPECT_TRUE(Eventually([&] { return reports > 0; })) << "no congestion report after the restart";
  provider.Stop();
  ASSERT_EQ(next.wait_for(kBound), std::future_status::ready);
}

}  // namespace
}  // namespace crcp::video
