#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio/audio_system.h"
#include "platform/audio/pulse_sink_info.h"

namespace platform::audio {

// One asynchronous request to the server; the caller waits with a time-out, and a late
// answer still finds its request alive through the shared pointer the callback owns
// (the callback's user data is a heap-held PulseRequestHolder<T>, deleted by the
// callback once the answer is complete).
template <typename T>
struct PulseRequest {
  static constexpr std::chrono::seconds kTimeout{2};

  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool ok = false;
  T value{};

  void Finish(bool success) {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ok = success;
    done_cv.notify_all();
  }
  AudioResult Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    if (!done_cv.wait_for(lock, kTimeout, [this] { return done; })) return AudioResult::kTimedOut;
    return ok ? AudioResult::kOk : AudioResult::kFailed;
  }
};

template <typename T>
using PulseRequestHolder = std::shared_ptr<PulseRequest<T>>;

// The answer callbacks, each for the request's value type named beside it.
void OnPulseSuccess(pa_context*, int success, void* userdata);                             // int
void OnPulseServerInfo(pa_context*, const pa_server_info* i, void* userdata);              // std::string
void OnPulseSinkInfo(pa_context*, const pa_sink_info* i, int eol, void* userdata);         // std::vector<SinkInfo>
void OnPulseModuleLoaded(pa_context*, uint32_t index, void* userdata);                     // uint32_t
// std::vector<std::pair<uint32_t, uint32_t>>: (stream index, sink index) of every stream.
void OnPulseSinkInputInfo(pa_context*, const pa_sink_input_info* i, int eol, void* userdata);

}  // namespace platform::audio
