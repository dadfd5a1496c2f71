#include "services/audio/source/opus_audio_source.h"

#include <opus.h>

#include "utils/logger.h"

namespace audiosource {

namespace {
const char* const kLogTag = "opus";
}  // namespace

OpusAudioSource::OpusAudioSource(std::shared_ptr<platform::audio::AudioSystem> system)
    : capture_(std::make_unique<RawAudioCaptureWin>(std::move(system))) {
  capture_->SetFrameCount(kFramesPerPacket);
  capture_->SetSampleRate(kSampleRate);
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(kSampleRate, kChannels, OPUS_APPLICATION_AUDIO, &error);
  if (encoder_ == nullptr || error != OPUS_OK) {
    LOG_ERROR("opus encoder create fail, {}", opus_strerror(error));
    encoder_ = nullptr;
    return;
  }
  opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(kBitrate));
  opus_encoder_ctl(encoder_, OPUS_SET_VBR(1));
}

OpusAudioSource::~OpusAudioSource() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (started_) capture_->Stop();
    started_ = false;
  }
  capture_.reset();
  if (encoder_ != nullptr) opus_encoder_destroy(encoder_);
}

void OpusAudioSource::Start() {
  std::lock_guard<std::mutex> lock(lock_);
  if (started_) return;
  capture_->SetCallback([this](const uint8_t* data, unsigned size) { EncodeBlock(data, size); });
  capture_->Start();
  started_ = true;
}

void OpusAudioSource::Stop() {
  std::lock_guard<std::mutex> lock(lock_);
  if (!started_) return;
  capture_->Stop();
  started_ = false;
}

void OpusAudioSource::SetSink(Sink sink) {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  sink_ = std::move(sink);
}

void OpusAudioSource::SetMuteLocalOutput(bool mute) { capture_->SetMuteLocalOutput(mute); }

void OpusAudioSource::EncodeBlock(const uint8_t* data, unsigned size) {
  if (encoder_ == nullptr) return;
  const int frames = static_cast<int>(size / (kChannels * sizeof(float)));
  // The block is the capture's float buffer, so it is aligned for floats.
  const opus_int32 length = opus_encode_float(encoder_, reinterpret_cast<const float*>(data), frames,
                                              output_, static_cast<opus_int32>(sizeof(output_)));
  if (length < 0) {
    LOG_ERROR("opus encode fail, {}", opus_strerror(length));
    return;
  }
  std::lock_guard<std::mutex> lock(sink_mutex_);
  if (sink_) sink_(output_, static_cast<unsigned>(length));
}

}  // namespace audiosource
