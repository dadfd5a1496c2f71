#include "mediaworkflow/sink/output_sink.h"

#include <chrono>
#include <thread>

#include "utils/logger.h"

namespace mediaworkflow::sink {

namespace {
const char* const kLogTag = "MediaWorkflow::OutputSink";

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

OutputSink::~OutputSink() { Stop(); }

void OutputSink::SetInput(std::weak_ptr<SampleQueue> input) {
  std::lock_guard<std::mutex> lock(mutex_);
  input_ = std::move(input);
}

void OutputSink::SetOutputCallback(OutputCallback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  output_callback_ = callback ? std::make_shared<OutputCallback>(std::move(callback)) : nullptr;
}

void OutputSink::SetLatencyObserver(LatencyObserver observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  latency_observer_ = observer ? std::make_shared<LatencyObserver>(std::move(observer)) : nullptr;
}

void OutputSink::WorkFunc() {
  LOG_INFO("Enter OutputSink loop");
  while (running_.load()) {
    std::shared_ptr<SampleQueue> queue;
    std::shared_ptr<OutputCallback> callback;
    std::shared_ptr<LatencyObserver> observer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue = input_.lock();
      callback = output_callback_;
      observer = latency_observer_;
    }
    if (!queue || !callback) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (queue->IsStopped()) {
      // Nothing more will come; idle until the owner joins us.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    std::shared_ptr<buffer::H264Sample> sample;
    // A time-out, a stop or a wake-up that popped nothing leaves `sample` empty: only
    // a real sample reaches the callback.
    if (!queue->WaitDequeueTimed(sample, 1000 * 1000) || !sample) continue;
    queue.reset();

    const int64_t output_us = NowUs();
    uint8_t* data = nullptr;
    int length = 0;
    if (sample->HasExtraData() && sample->GetExtraData(&data, &length) && data != nullptr &&
        length > 0) {
      (*callback)(data, static_cast<unsigned>(length), 0);
    }
    if (sample->GetData(&data, &length) && data != nullptr && length > 0) {
      (*callback)(data, static_cast<unsigned>(length), sample->GetTimestamp());
    }
    if (observer && sample->capture_time_us() != 0) {
      (*observer)(sample->capture_time_us(), output_us);
    }
  }
  LOG_INFO("Exit OutputSink loop");
}

}  // namespace mediaworkflow::sink
