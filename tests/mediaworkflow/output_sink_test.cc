#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mediaworkflow/buffer/mem_h264_sample.h"
#include "mediaworkflow/sink/output_sink.h"

namespace mediaworkflow::sink {
namespace {

using namespace std::chrono_literals;

class ExtraDataSample : public buffer::H264Sample {
 public:
  bool HasExtraData() override { return true; }
  bool GetExtraData(uint8_t** data, int* length) override {
    *data = extra_;
    *length = 2;
    return true;
  }
  bool GetData(uint8_t** data, int* size) override {
    *data = body_;
    *size = 3;
    return true;
  }
  uint64_t GetTimestamp() override { return 77; }

 private:
  uint8_t extra_[2] = {0xE0, 0xE1};
  uint8_t body_[3] = {1, 2, 3};
};

struct Call {
  std::vector<uint8_t> bytes;
  uint64_t stamp;
};

class Recorder {
 public:
  OutputCallback Callback() {
    return [this](uint8_t* data, unsigned size, uint64_t stamp) {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(Call{std::vector<uint8_t>(data, data + size), stamp});
      cv_.notify_all();
    };
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, 5s, [&] { return calls_.size() >= n; });
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Call> calls_;
};

TEST(OutputSinkTest, ExtraDataComesFirstWithStampZeroThenTheSample) {
  auto queue = std::make_shared<SampleQueue>();
  Recorder rec;
  OutputSink sink;
  sink.SetInput(queue);
  sink.SetOutputCallback(rec.Callback());
  ASSERT_TRUE(sink.Start());
  EXPECT_FALSE(sink.Start());
  queue->Enqueue(std::make_shared<ExtraDataSample>());
  auto plain = std::make_shared<buffer::MemH264Sample>(4);
  plain->data()[0] = 9;
  plain->SetSize(1);
  queue->Enqueue(plain);
  ASSERT_TRUE(rec.WaitFor(3));
  queue->Stop();
  EXPECT_TRUE(sink.Stop());
  EXPECT_FALSE(sink.Stop());
  auto calls = rec.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].bytes, (std::vector<uint8_t>{0xE0, 0xE1}));
  EXPECT_EQ(calls[0].stamp, 0u);
  EXPECT_EQ(calls[1].bytes, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(calls[1].stamp, 77u);
  EXPECT_EQ(calls[2].bytes, (std::vector<uint8_t>{9}));
}

TEST(OutputSinkTest, WithoutCallbackNothingIsPoppedAndQueueFills) {
  auto queue = std::make_shared<SampleQueue>();
  OutputSink sink;
  sink.SetInput(queue);
  ASSERT_TRUE(sink.Start());
  queue->Enqueue(std::make_shared<buffer::MemH264Sample>(1));
  queue->Enqueue(std::make_shared<buffer::MemH264Sample>(1));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(queue->Size(), 2);
  queue->Stop();
  EXPECT_TRUE(sink.Stop());
}

TEST(OutputSinkTest, StoppedQueueOrEmptySampleNeverReachesCallback) {
  auto queue = std::make_shared<SampleQueue>();
  std::atomic<int> calls{0};
  OutputSink sink;
  sink.SetInput(queue);
  sink.SetOutputCallback([&](uint8_t*, unsigned, uint64_t) { ++calls; });
  ASSERT_TRUE(sink.Start());
  queue->Enqueue(nullptr);  // an empty pointer in the queue is skipped
  std::this_thread::sleep_for(30ms);
  queue->Stop();  // wakes the sink's wait with nothing popped
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(sink.Stop());
  EXPECT_EQ(calls.load(), 0);
}

}  // namespace
}  // namespace mediaworkflow::sink
