#include "crcp/runtime.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "crcp/tcp_socket.h"
#include "crcp/udp_socket.h"
#include "tests/support/log_capture.h"

namespace crcp {
namespace {

using namespace std::chrono_literals;
using testing_support::LogCapture;

// Runs `fn` as a task and waits (bounded) for it.
template <typename F>
auto OnTaskThread(F fn) {
  auto done = std::make_shared<std::promise<decltype(fn())>>();
  auto future = done->get_future();
  Runtime::PostTask("test", [done, fn]() mutable {
    if constexpr (std::is_void_v<decltype(fn())>) {
      fn();
      done->set_value();
    } else {
      done->set_value(fn());
    }
  });
  EXPECT_EQ(future.wait_for(5s), std::future_status::ready);
  return future.get();
}

// Blocks the task thread until released, so that the test can queue tasks behind it.
class TaskGate {
 public:
  TaskGate() {
    Runtime::PostTask("gate", [this] {
      std::unique_lock<std::mutex> lock(mutex_);
      entered_ = true;
      cv_.notify_all();
      cv_.wait_for(lock, 10s, [this] { return open_; });
    });
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, 5s, [this] { return entered_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool entered_ = false;
  bool open_ = false;
};

TEST(RuntimeTest, TasksRunOneAtATimeInQueueOrderAndUrgentGoesFirst) {
  std::vector<std::string> order;  // touched only on the task thread
  TaskGate gate;
  Runtime::PostTask("a", [&] { order.push_back("a"); });
  Runtime::PostTask("b", [&] {
    order.push_back("b");
    // Posted from a running task: after everything that was queued before it.
    Runtime::PostTask("nested", [&] { order.push_back("nested"); });
  });
  Runtime::PostTask("c", [&] { order.push_back("c"); });
  Runtime::PostUrgentTask("urgent", [&] { order.push_back("urgent"); });
  gate.Open();
  OnTaskThread([] {});
  OnTaskThread([] {});  // "nested" was queued behind the first probe
  EXPECT_EQ(order, (std::vector<std::string>{"urgent", "a", "b", "c", "nested"}));
}

TEST(RuntimeTest, TasksFromManyThreadsAllRunInPerThreadOrder) {
  constexpr int kThreads = 4, kPerThread = 200;
  std::vector<std::vector<int>> seen(kThreads);  // task thread only
  std::atomic<int> running{0}, overlap{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        Runtime::PostTask("post", [&, t, i] {
          if (running.fetch_add(1) != 0) overlap++;
          seen[t].push_back(i);
          running.fetch_sub(1);
        });
      }
    });
  }
  for (auto& p : posters) p.join();
  OnTaskThread([] {});
  EXPECT_EQ(overlap.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(seen[t][i], i);
  }
}

TEST(RuntimeTest, ThrowingTaskAndTimerAreContainedAndTheirWatchesCompleted) {
  LogCapture::Get().Clear();
  Runtime::PostTask("throws", [] { throw std::runtime_error("boom"); });
  std::promise<void> fired;
  uint64_t id = Runtime::AddTimer(10, "throwing timer", [&] {
    fired.set_value();
    throw std::logic_error("timer boom");
  });
  ASSERT_EQ(fired.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(OnTaskThread([] { return true; }));
  EXPECT_TRUE(LogCapture::Get().WaitFor("Task [throws] threw: boom"));
  EXPECT_TRUE(LogCapture::Get().WaitFor("Timer [throwing timer] callback threw: timer boom"));
  EXPECT_EQ(LogCapture::Get().Count("No task id"), 0u);
  EXPECT_TRUE(Runtime::CancelTimer(id));
}

TEST(RuntimeTest, TimerIdsAndCancellation) {
  // A fresh runtime issues 1 first; 0 is never an id.
  Runtime::Stop();
  Runtime::Shutdown();
  std::atomic<int> calls{0};
  uint64_t first = Runtime::AddTimer(60000, "long", [&] { calls++; });
  EXPECT_EQ(first, 1u);
  EXPECT_TRUE(Runtime::CancelTimer(first));

  LogCapture::Get().Clear();
  EXPECT_FALSE(Runtime::CancelTimer(first));  // already cancelled
  EXPECT_FALSE(Runtime::CancelTimer(987654));
  EXPECT_EQ(LogCapture::Get().Count("No task id [987654] found"), 1u);

  std::promise<void> fired;
  uint64_t quick = Runtime::AddTimer(1, "quick", [&] { fired.set_value(); });
  ASSERT_EQ(fired.get_future().wait_for(5s), std::future_status::ready);
  // A fired timer keeps its entry until cancelled.
  EXPECT_TRUE(Runtime::CancelTimer(quick));

  uint64_t cancelled = Runtime::AddTimer(30, "cancelled", [&] { calls++; });
  EXPECT_TRUE(Runtime::CancelTimer(cancelled));
  std::promise<void> later;
  uint64_t probe = Runtime::AddTimer(100, "probe", [&] { later.set_value(); });
  ASSERT_EQ(later.get_future().wait_for(5s), std::future_status::ready);
  Runtime::CancelTimer(probe);
  EXPECT_EQ(calls.load(), 0);
  EXPECT_TRUE(LogCapture::Get().WaitFor("Timer [cancelled] is canceled"));
}

TEST(RuntimeTest, StopLeavesQueuedTasksUnrunAndShutdownAllowsARebuild) {
  std::atomic<bool> ran{false};
  {
    TaskGate gate;
    Runtime::PostTask("left behind", [&] { ran = true; });
    // Stop joins the I/O and accept workers, then the task worker; the gate must
    // open for the running task to return, and the queued one is never taken.
    std::thread stopper([] { Runtime::Stop(); });
    std::this_thread::sleep_for(50ms);
    gate.Open();
    stopper.join();
  }
  Runtime::Shutdown();
  EXPECT_FALSE(ran.load());
  EXPECT_TRUE(OnTaskThread([] { return true; }));  // rebuilt on use
}

TEST(RuntimeTest, ShutdownReleasesQueuedTasksAndTimersBeforeTheIoContext) {
  // Sockets on the I/O context, held only by a queued task and a pending timer: both
  // must go while the context still exists (the sanitizer builds see the difference).
  auto in_task = std::make_shared<TcpSocket>();
  in_task->Open();
  auto in_timer = std::make_shared<UdpSocket>();
  in_timer->Open();
  {
    TaskGate gate;
    Runtime::PostTask("holds a socket", [in_task] {});
    Runtime::AddTimer(60000, "holds a socket", [in_timer] {});
    std::thread stopper([] { Runtime::Stop(); });
    std::this_thread::sleep_for(50ms);
    gate.Open();
    stopper.join();
  }
  in_task.reset();
  in_timer.reset();
  Runtime::Shutdown();
  EXPECT_TRUE(OnTaskThread([] { return true; }));
}

TEST(RuntimeTest, StopRightAfterStartDoesNotHang) {
  for (int i = 0; i < 20; ++i) {
    Runtime::PostTask("warm", [] {});
    Runtime::Stop();
    Runtime::Shutdown();
  }
  SUCCEED();
}

TEST(RuntimeTest, SlowTaskIsReportedAsMaybeStuckAndRunsToItsEnd) {
  LogCapture::Get().Clear();
  EXPECT_TRUE(OnTaskThread([] { return true; }));
  auto done = std::make_shared<std::promise<void>>();
  Runtime::PostTask("slow task", [done] {
    std::this_thread::sleep_for(5300ms);
    done->set_value();
  });
  ASSERT_EQ(done->get_future().wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(LogCapture::Get().WaitFor("Task [slow task] is not complete in 5000ms, maybe stuck"));
  EXPECT_EQ(LogCapture::Get().Count("Task [slow task] is not complete"), 1u);
  EXPECT_TRUE(LogCapture::Get().WaitFor("Task [test] finished on schedule"));
}

}  // namespace
}  // namespace crcp
