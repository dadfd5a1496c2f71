// The relay from worker threads to an owner's thread: where and in what order the
// calls run, and that none runs once the relay is detached or the owner is gone.
#include "client/thread_relay.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/qt_core_test_application.h"

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

char kProgramName[] = "client_thread_relay_test";
testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new testing_support::QtCoreTestApplication(kProgramName));

struct CallRun {
  int worker;
  int index;
  QThread* thread;
};

TEST(ThreadRelayTest, CallsFromWorkersRunOnTheOwnersThreadInTheOrderPosted) {
  constexpr int kWorkers = 4;
  constexpr int kCallsEach = 500;
  QObject owner;
  const std::shared_ptr<ThreadRelay> relay = ThreadRelay::Create(&owner);
  std::vector<CallRun> runs;  // written on the owner's thread only

  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&runs, relay, w] {
      for (int i = 0; i < kCallsEach; ++i)
        relay->Post([&runs, w, i] { runs.push_back({w, i, QThread::currentThread()}); });
    });
  }
  // Drain while the workers still post: batches and new wake-ups interleave.
  ASSERT_TRUE(QTest::qWaitFor([&] { return runs.size() == kWorkers * kCallsEach; }, 10000));
  for (auto& worker : workers) worker.join();
  QCoreApplication::sendPostedEvents();

  ASSERT_EQ(runs.size(), static_cast<size_t>(kWorkers * kCallsEach));
  std::vector<int> next(kWorkers, 0);
  for (const CallRun& run : runs) {
    EXPECT_EQ(run.thread, owner.thread());
    EXPECT_EQ(run.index, next[run.worker]++) << "worker " << run.worker;
  }
}

// A call that posts again (a signal whose receiver reports back) runs after what was
// queued before it, in a later batch.
TEST(ThreadRelayTest, PostFromARunningCallComesAfterTheQueuedOnes) {
  QObject owner;
  const std::shared_ptr<ThreadRelay> relay = ThreadRelay::Create(&owner);
  std::vector<char> order;
  relay->Post([&] {
    order.push_back('a');
    relay->Post([&] { order.push_back('c'); });
  });
  relay->Post([&] { order.push_back('b'); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 3; }, 5000));
  EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'c'}));
}

// Ending the relay either way: the queued calls are dropped (and their captures
// released), later posts are ignored, and a worker that still holds the relay may
// keep posting.
TEST(ThreadRelayTest, NothingRunsOnceDetachedOrOnceTheOwnerIsGone) {
  enum class End { kDetach, kDeleteOwner };
  for (End end : {End::kDetach, End::kDeleteOwner}) {
    SCOPED_TRACE(end == End::kDetach ? "detach" : "owner deleted");
    auto owner = std::make_unique<QObject>();
    std::shared_ptr<ThreadRelay> relay = ThreadRelay::Create(owner.get());
    std::atomic<int> ran{0};
    auto capture = std::make_shared<int>(0);
    std::weak_ptr<int> captured = capture;
    std::thread worker([&relay, &ran, capture = std::move(capture)] {
      relay->Post([&ran, capture] { ++ran; });
    });
    worker.join();
    ASSERT_FALSE(captured.expired());  // queued, not yet run

    if (end == End::kDetach)
      relay->Detach();
    else
      owner.reset();
    EXPECT_TRUE(captured.expired());

    std::thread late([&relay, &ran] { relay->Post([&ran] { ++ran; }); });
    late.join();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
  }
}

// The owner detaching from inside a call (it is being torn down): the rest of that
// batch does not run.
TEST(ThreadRelayTest, DetachInsideACallDropsTheRestOfTheBatch) {
  QObject owner;
  const std::shared_ptr<ThreadRelay> relay = ThreadRelay::Create(&owner);
  std::vector<int> ran;
  relay->Post([&] {
    ran.push_back(1);
    relay->Detach();
  });
  relay->Post([&] { ran.push_back(2); });
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(ran, std::vector<int>{1});
}

// The receiver is the owner's child, so the calls follow the owner to another thread.
TEST(ThreadRelayTest, CallsFollowTheOwnerToAnotherThread) {
  if (kThreadSanitizer) GTEST_SKIP() << "QThread's own hand-over is not visible to the thread sanitizer";
  QThread thread;
  thread.start();
  auto* owner = new QObject();
  const std::shared_ptr<ThreadRelay> relay = ThreadRelay::Create(owner);
  owner->moveToThread(&thread);

  std::mutex mutex;
  QThread* ran_on = nullptr;
  relay->Post([&] {
    std::lock_guard<std::mutex> lock(mutex);
    ran_on = QThread::currentThread();
  });
  const bool ran = QTest::qWaitFor(
      [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return ran_on != nullptr;
      },
      5000);
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_TRUE(ran);
    EXPECT_EQ(ran_on, &thread);
  }
  // Deleted on its own thread, which detaches the relay there.
  QObject::connect(&thread, &QThread::finished, owner, &QObject::deleteLater);
  thread.quit();
  thread.wait();
  relay->Post([] { ADD_FAILURE() << "ran after the owner was deleted"; });
  QCoreApplication::sendPostedEvents();
}

}  // namespace
