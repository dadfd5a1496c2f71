#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "mediaworkflow/bounded_frame_queue.h"

namespace mediaworkflow {
namespace {

using Queue = BoundedFrameQueue<std::shared_ptr<int>>;
using namespace std::chrono_literals;

std::shared_ptr<int> Item(int v) { return std::make_shared<int>(v); }

TEST(BoundedFrameQueueTest, HoldsTwoInOrderAndTimesOutWhenEmpty) {
  Queue q;
  EXPECT_EQ(q.capacity(), 2);
  q.Enqueue(Item(1));
  q.Enqueue(Item(2));
  EXPECT_EQ(q.Size(), 2);
  std::shared_ptr<int> out;
  ASSERT_TRUE(q.WaitDequeueTimed(out, 0));
  EXPECT_EQ(*out, 1);
  ASSERT_TRUE(q.WaitDequeueTimed(out, 0));
  EXPECT_EQ(*out, 2);
  EXPECT_EQ(q.Size(), 0);
  out.reset();
  EXPECT_FALSE(q.WaitDequeueTimed(out, 20 * 1000));
  EXPECT_EQ(out, nullptr);
}

TEST(BoundedFrameQueueTest, ThirdEnqueueBlocksUntilConsumerTakesOne) {
  Queue q;
  q.Enqueue(Item(1));
  q.Enqueue(Item(2));
  std::atomic<bool> done{false};
  std::thread producer([&] {
    q.Enqueue(Item(3));
    done = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(done.load());  // still waiting for a free slot
  std::shared_ptr<int> out;
  ASSERT_TRUE(q.WaitDequeueTimed(out, 1000 * 1000));
  EXPECT_EQ(*out, 1);
  producer.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(q.Size(), 2);
}

TEST(BoundedFrameQueueTest, DropOldestKeepsNewest) {
  Queue q;
  q.Enqueue(Item(1));
  q.Enqueue(Item(2));
  q.DropOldest();
  EXPECT_EQ(q.Size(), 1);
  q.Enqueue(Item(3));  // the freed slot is usable again
  std::shared_ptr<int> out;
  ASSERT_TRUE(q.WaitDequeueTimed(out, 0));
  EXPECT_EQ(*out, 2);
  q.DropOldest();
  EXPECT_EQ(q.Size(), 0);
  q.DropOldest();  // empty: no effect
  EXPECT_EQ(q.Size(), 0);
}

TEST(BoundedFrameQueueTest, StopWakesBlockedProducerAndConsumer) {
  Queue full;
  full.Enqueue(Item(1));
  full.Enqueue(Item(2));
  Queue empty;
  auto producer = std::async(std::launch::async, [&] { full.Enqueue(Item(3)); });
  auto consumer = std::async(std::launch::async, [&] {
    std::shared_ptr<int> out;
    bool got = empty.WaitDequeueTimed(out, -1);
    return got || out != nullptr;
  });
  std::this_thread::sleep_for(30ms);
  full.Stop();
  empty.Stop();
  ASSERT_EQ(producer.wait_for(5s), std::future_status::ready);
  ASSERT_EQ(consumer.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(consumer.get());
}

TEST(BoundedFrameQueueTest, StoppedQueueRefusesBothWaysEvenWithElementsLeft) {
  Queue q;
  q.Enqueue(Item(1));
  q.Stop();
  std::shared_ptr<int> out;
  EXPECT_FALSE(q.WaitDequeueTimed(out, 1000 * 1000));
  EXPECT_EQ(out, nullptr);
  q.Enqueue(Item(2));  // returns at once
  EXPECT_EQ(q.Size(), 1);
  // Two more stops and waits after the first stay harmless (no phantom items).
  q.Stop();
  EXPECT_FALSE(q.WaitDequeueTimed(out, 0));
}

TEST(BoundedFrameQueueTest, EnqueueToGoneOrStoppedQueueDrops) {
  std::weak_ptr<Queue> gone;
  { auto q = std::make_shared<Queue>(); gone = q; }
  auto item = Item(1);
  EnqueueTo(gone, std::move(item));
  auto q = std::make_shared<Queue>();
  q->Stop();
  auto item2 = Item(2);
  EnqueueTo(std::weak_ptr<Queue>(q), std::move(item2));
  EXPECT_EQ(q->Size(), 0);
}

TEST(BoundedFrameQueueTest, ProducerConsumerPassEveryElementOnce) {
  Queue q;
  constexpr int kCount = 2000;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) q.Enqueue(Item(i));
  });
  int expected = 0;
  while (expected < kCount) {
    std::shared_ptr<int> out;
    ASSERT_TRUE(q.WaitDequeueTimed(out, 5 * 1000 * 1000));
    ASSERT_EQ(*out, expected);
    ++expected;
  }
  producer.join();
}

}  // namespace
}  // namespace mediaworkflow
