#pragma once

#include <pulse/pulseaudio.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_system.h"
#include "platform/audio/pulse_connection.h"

namespace platform::audio {

// A record stream on a sink's monitor source, in the format given. On the stand-in's
// monitor (float), each packet is scaled by the connection's monitor gain, which gives
// it back at full volume.
class PulseLoopbackStream : public LoopbackStream {
 public:
  PulseLoopbackStream(std::shared_ptr<PulseConnection> connection, const MixFormat& format, bool applies_volume,
                      bool on_stand_in)
      : connection_(std::move(connection)),
        format_(format),
        applies_volume_(applies_volume),
        on_stand_in_(on_stand_in && format.type == SampleType::kFloat32) {}
  ~PulseLoopbackStream() override;

  AudioResult Open(const std::string& monitor, const pa_sample_spec& spec);

  MixFormat Format() const override { return format_; }
  bool AppliesEndpointVolume() const override { return applies_volume_; }
  AudioResult Start() override { return AudioResult::kOk; }
  WaitResult WaitForData(std::chrono::milliseconds timeout) override;
  ReadResult ReadPacket(CapturePacket* packet) override;
  void ReleasePacket() override {}

 private:
  static void OnState(pa_stream* s, void* userdata);
  static void OnReadable(pa_stream*, size_t, void* userdata);

  std::shared_ptr<PulseConnection> connection_;
  MixFormat format_;
  bool applies_volume_;
  bool on_stand_in_;
  pa_stream* stream_ = nullptr;
  std::vector<uint8_t> buffer_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ready_ = false;
  bool failed_ = false;
  bool readable_ = false;
};

}  // namespace platform::audio
