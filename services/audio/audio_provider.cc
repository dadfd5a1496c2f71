#include "services/audio/audio_provider.h"

#include <utility>

#include "services/media_link/video_packet.h"
#include "utils/logger.h"

namespace crcp::audio {
namespace {
const char* const kLogTag = "MirrorAudio::AudioProvider";
}  // namespace

AudioProvider::AudioProvider(std::shared_ptr<audiosource::IAudioSource> source)
    : source_(std::move(source)) {
  if (source_) {
    source_->SetSink([this](const uint8_t* data, unsigned size) { PushPacket(data, size); });
  }
}

AudioProvider::~AudioProvider() {
  if (source_) source_->SetSink(nullptr);
}

void AudioProvider::SetCallback(Callback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  callback_ = std::move(callback);
}

void AudioProvider::Start() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return;
    running_ = true;
    sequence_ = 0;
  }
  LOG_INFO("audio provider start");
  // Outside the lock: the source's thread calls PushPacket, which takes it.
  if (source_) source_->Start();
}

void AudioProvider::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    running_ = false;
  }
  LOG_INFO("audio provider stop");
  if (source_) source_->Stop();
}

void AudioProvider::PushPacket(const uint8_t* data, unsigned size) {
  Callback callback;
  std::vector<uint8_t> datagram;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    const uint32_t type = sequence_++;  // wraps at 2^32 by design
    last_datagram_ = crcp::video::SerializeVideoPacket(type, 0, data, size);
    if (!callback_) return;
    datagram = std::move(last_datagram_);
    callback = callback_;
  }
  // The hand-over may block on a full queue: never with the lock held, so Stop can
  // always get in.
  callback(std::move(datagram));
}

}  // namespace crcp::audio
