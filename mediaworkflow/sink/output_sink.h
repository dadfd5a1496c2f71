#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "mediaworkflow/bounded_frame_queue.h"
#include "mediaworkflow/buffer/h264_sample.h"
#include "mediaworkflow/element.h"
#include "mediaworkflow/looper.h"

namespace mediaworkflow::sink {

using SampleQueue = BoundedFrameQueue<std::shared_ptr<buffer::H264Sample>>;
using OutputCallback = std::function<void(uint8_t* data, unsigned size, uint64_t stamp)>;
// Capture time and callback time of one sample, steady-clock microseconds.
using LatencyObserver = std::function<void(int64_t capture_us, int64_t output_us)>;

// The last stage: hands every sample to the output callback on its own thread.
class OutputSink : public Element, public Looper {
 public:
  ~OutputSink() override;

  void SetInput(std::weak_ptr<SampleQueue> input);
  // Replaces the callback; a call in progress finishes with the old one.
  void SetOutputCallback(OutputCallback callback);
  void SetLatencyObserver(LatencyObserver observer);

 protected:
  void WorkFunc() override;

 private:
  std::mutex mutex_;  // guards the three fields below; never held during a callback
  std::weak_ptr<SampleQueue> input_;
  std::shared_ptr<OutputCallback> output_callback_;
  std::shared_ptr<LatencyObserver> latency_observer_;
};

}  // namespace mediaworkflow::sink
