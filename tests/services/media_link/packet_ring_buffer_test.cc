#include "services/media_link/packet_ring_buffer.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace crcp::video {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Packet(uint8_t tag) { return std::vector<uint8_t>(4, tag); }

TEST(PacketRingBuffer, HoldsSlotsMinusOneInOrderAndBlocksTheProducerBeyond) {
  for (size_t slots : {3u, 7u}) {
    PacketRingBuffer ring(slots);
    ASSERT_EQ(ring.Capacity(), slots - 1);
    for (size_t i = 0; i < slots - 1; ++i) ASSERT_TRUE(ring.Push(Packet(uint8_t(i))));

    std::atomic<bool> pushed{false};
    auto producer = std::async(std::launch::async, [&] {
      bool ok = ring.Push(Packet(0xEE));
      pushed = true;
      return ok;
    });
    // The producer stays blocked while the ring is full; it only gets in after a pop.
    EXPECT_EQ(producer.wait_for(50ms), std::future_status::timeout);
    EXPECT_FALSE(pushed);

    std::vector<uint8_t> out;
    ASSERT_TRUE(ring.Pop(out));
    EXPECT_EQ(out, Packet(0));
    ASSERT_EQ(producer.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(producer.get());
    for (size_t i = 1; i < slots - 1; ++i) {
      ASSERT_TRUE(ring.Pop(out));
      EXPECT_EQ(out, Packet(uint8_t(i)));
    }
    ASSERT_TRUE(ring.Pop(out));
    EXPECT_EQ(out, Packet(0xEE));
    EXPECT_EQ(ring.Size(), 0u);
  }
}

TEST(PacketRingBuffer, StopReleasesABlockedProducerAndConsumer) {
  PacketRingBuffer full(3);
  full.Push(Packet(1));
  full.Push(Packet(2));
  auto producer = std::async(std::launch::async, [&] { return full.Push(Packet(3)); });

  PacketRingBuffer empty(3);
  auto consumer = std::async(std::launch::async, [&] {
    std::vector<uint8_t> out;
    return empty.Pop(out);
  });
  std::this_thread::sleep_for(20ms);
  full.SetStopped(true);
  empty.SetStopped(true);
  ASSERT_EQ(producer.wait_for(5s), std::future_status::ready);
  ASSERT_EQ(consumer.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(producer.get());
  EXPECT_FALSE(consumer.get());
}

TEST(PacketRingBuffer, RestartAfterClearBeginsEmpty) {
  PacketRingBuffer ring(3);
  ring.Push(Packet(1));
  ring.Push(Packet(2));
  ring.SetStopped(true);
  ring.Clear();
  ring.SetStopped(false);
  EXPECT_EQ(ring.Size(), 0u);
  ASSERT_TRUE(ring.Push(Packet(9)));
  std::vector<uint8_t> out;
  ASSERT_TRUE(ring.Pop(out));
  EXPECT_EQ(out, Packet(9));
}

}  // namespace
}  // namespace crcp::video
