#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/video/source/i_video_source.h"
#include "services/video/source/i_video_source_controller.h"

namespace crcp::video::testing {

// A pipeline stand-in that records every call and, while started, runs a "sink
// thread" that hands out numbered samples as fast as the consumers take them (with
// `run_sink`; otherwise the test hands them out with Emit). Like the real pipeline,
// every stop of a started pipeline, a restart included, calls the output interrupt
// and then waits for the output to end: it joins that thread, and waits for the
// Emit calls in flight.
class FakeSourceController : public IVideoSourceController {
 public:
  ~FakeSourceController() override { StopSink(); }

  void SetOutputCallback(OutputCallback callback) override {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
  }
  void SetOutputInterrupt(std::function<void()> interrupt) override {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupt_ = std::move(interrupt);
  }
  void SetHardwareEnabled(bool enabled) override {
    Record("SetHardwareEnabled " + std::to_string(enabled));
    if (started_) {  // a running pipeline restarts with the other encoder
      StopSink();
      if (run_sink) StartSink();
    }
  }
  void SetQualityMode(bool quality_mode) override { Record("SetQualityMode " + std::to_string(quality_mode)); }
  void Start() override {
    Record("Start");
    if (on_start) on_start();
    started_ = true;
    if (!sink_.joinable() && run_sink) StartSink();
  }
  void Stop() override {
    Record("Stop");
    if (on_stop) on_stop();
    StopSink();
    started_ = false;
  }
  void RequestKeyFrame() override { Record("RequestKeyFrame"); }
  void Pause() override { Record("Pause"); }
  void Resume() override { Record("Resume"); }
  void SetMonitor(int index) override { Record("SetMonitor " + std::to_string(index)); }
  void SetDrawCursor(bool draw) override { Record("SetDrawCursor " + std::to_string(draw)); }
  void SetFrameRate(int fps) override { Record("SetFrameRate " + std::to_string(fps)); }
  void SetBitrate(int kbps) override { Record("SetBitrate " + std::to_string(kbps)); }
  void SetOutputSize(int w, int h) override {
    Record("SetOutputSize " + std::to_string(w) + "x" + std::to_string(h));
  }
  void Reserved(int) override {}
  void SetEventCallback(EventCallback) override {}

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }
  uint32_t SamplesHandedOut() const { return handed_out_; }
  // Hands one sample out on the caller's thread (for tests without the sink thread).
  void Emit(uint32_t number) {
    OutputCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback = callback_;
    }
    uint8_t bytes[4] = {uint8_t(number >> 24), uint8_t(number >> 16), uint8_t(number >> 8), uint8_t(number)};
    {
      std::lock_guard<std::mutex> lock(emit_mutex_);
      ++emitting_;
    }
    if (callback) callback(bytes, sizeof bytes, number);
    std::lock_guard<std::mutex> lock(emit_mutex_);
    --emitting_;
    emit_done_.notify_all();
  }

  bool run_sink = false;
  std::function<void()> on_start;
  std::function<void()> on_stop;

 private:
  void Record(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  void StartSink() {
    sink_running_ = true;
    sink_ = std::thread([this] {
      uint32_t n = 0;
      while (sink_running_) {
        Emit(++n);
        ++handed_out_;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  void StopSink() {
    if (!started_) return;
    sink_running_ = false;
    std::function<void()> interrupt;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      interrupt = interrupt_;
    }
    if (interrupt) interrupt();
    if (sink_.joinable()) sink_.join();
    std::unique_lock<std::mutex> lock(emit_mutex_);
    emit_done_.wait(lock, [this] { return emitting_ == 0; });
  }

  std::mutex mutex_;
  std::vector<std::string> calls_;
  OutputCallback callback_;
  std::function<void()> interrupt_;
  std::mutex emit_mutex_;
  std::condition_variable emit_done_;
  int emitting_ = 0;
  std::atomic<bool> started_{false};
  std::atomic<bool> sink_running_{false};
  std::atomic<uint32_t> handed_out_{0};
  std::thread sink_;
};

class FakeVideoSource : public IVideoSource {
 public:
  explicit FakeVideoSource(std::vector<std::string> codecs = {"h264"}) : codecs_(std::move(codecs)) {}
  std::vector<std::string> GetSupportedCodecs() override { return codecs_; }
  std::shared_ptr<IVideoSourceController> CreateController(const std::string& codec) override {
    for (const auto& c : codecs_) {
      if (c == codec) {
        auto controller = std::make_shared<FakeSourceController>();
        controllers.push_back(controller);
        return controller;
      }
    }
    return nullptr;
  }
  std::vector<std::shared_ptr<FakeSourceController>> controllers;

 private:
  std::vector<std::string> codecs_;
};

}  // namespace crcp::video::testing
