#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/audio/audio_system.h"
#include "services/audio/source/i_audio_source.h"
#include "services/audio/source/raw_audio_capture_win.h"

struct OpusEncoder;

namespace audiosource {

// System sound as Opus: the capture hands over 40 ms blocks of 48 kHz stereo float and
// each block becomes one packet of at most 1024 bytes (128 kbit/s VBR, audio mode).
class OpusAudioSource : public IAudioSource {
 public:
  static constexpr uint32_t kSampleRate = 48000;
  static constexpr uint32_t kChannels = 2;
  static constexpr uint32_t kFramesPerPacket = 1920;
  static constexpr uint32_t kMaxPacketBytes = 1024;
  static constexpr int32_t kBitrate = 128000;

  explicit OpusAudioSource(
      std::shared_ptr<platform::audio::AudioSystem> system = platform::audio::SharedAudioSystem());
  ~OpusAudioSource() override;
  OpusAudioSource(const OpusAudioSource&) = delete;
  OpusAudioSource& operator=(const OpusAudioSource&) = delete;

  void Start() override;
  void Stop() override;
  void SetSink(Sink sink) override;
  uint32_t GetSampleRate() override { return kSampleRate; }
  uint32_t GetChannelCount() override { return kChannels; }
  uint32_t GetFrameCountPerPacket() override { return kFramesPerPacket; }
  void SetMuteLocalOutput(bool mute) override;

 private:
  // Capture thread: one full block in, one packet out to the sink.
  void EncodeBlock(const uint8_t* data, unsigned size);

  std::mutex lock_;
  // Separate from lock_: Stop holds lock_ while it joins the capture thread, which may
  // be inside the sink.
  std::mutex sink_mutex_;
  Sink sink_;
  std::unique_ptr<RawAudioCaptureWin> capture_;
  OpusEncoder* encoder_ = nullptr;
  uint8_t output_[kMaxPacketBytes];
  bool started_ = false;
};

}  // namespace audiosource
