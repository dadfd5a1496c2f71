#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "services/audio/source/i_audio_source.h"
#include "services/audio/source/i_audio_source_handler.h"

// An encoded-audio source the test drives: Emit plays the capture thread and hands a
// packet to whatever sink is installed.
class FakeAudioSource : public audiosource::IAudioSource {
 public:
  void Start() override { ++starts_; }
  void Stop() override { ++stops_; }
  void SetSink(Sink sink) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
  }
  uint32_t GetSampleRate() override { return 48000; }
  uint32_t GetChannelCount() override { return 2; }
  uint32_t GetFrameCountPerPacket() override { return 1920; }
  void SetMuteLocalOutput(bool) override {}

  // Holds the sink lock while the sink runs, as the real source does.
  void Emit(const std::vector<uint8_t>& packet) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sink_) sink_(packet.data(), static_cast<unsigned>(packet.size()));
  }
  bool HasSink() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(sink_);
  }
  int starts() const { return starts_; }
  int stops() const { return stops_; }

 private:
  std::mutex mutex_;
  Sink sink_;
  std::atomic<int> starts_{0};
  std::atomic<int> stops_{0};
};

// Makes FakeAudioSources for the codecs it is given; `fail_create` makes it return none.
class FakeAudioSourceHandler : public audiosource::IAudioSourceHandler {
 public:
  explicit FakeAudioSourceHandler(std::vector<std::string> codecs = {"opus"}, bool fail_create = false)
      : codecs_(std::move(codecs)), fail_create_(fail_create) {}
  std::vector<std::string> GetCodecs() override { return codecs_; }
  std::shared_ptr<audiosource::IAudioSource> CreateSource(const std::string&) override {
    if (fail_create_) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = std::make_shared<FakeAudioSource>();
    return last_;
  }
  std::shared_ptr<FakeAudioSource> last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }

 private:
  std::vector<std::string> codecs_;
  bool fail_create_;
  std::mutex mutex_;
  std::shared_ptr<FakeAudioSource> last_;
};
