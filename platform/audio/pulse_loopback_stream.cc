#include "platform/audio/pulse_loopback_stream.h"

#include <chrono>
#include <cstring>

namespace platform::audio {

namespace {

constexpr std::chrono::seconds kConnectTimeout{2};
// Record fragments of about 10 ms: the capture waits at most that long for a packet.
constexpr pa_usec_t kFragmentUsec = 10000;

}  // namespace

PulseLoopbackStream::~PulseLoopbackStream() {
  if (stream_ == nullptr) return;
  PulseConnection::Locked lock(connection_.get());
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
}

AudioResult PulseLoopbackStream::Open(const std::string& monitor, const pa_sample_spec& spec) {
  pa_channel_map map = WaveLayout(spec.channels);
  {
    PulseConnection::Locked lock(connection_.get());
    stream_ = pa_stream_new(connection_->context(), "Castora loopback", &spec, &map);
    if (stream_ == nullptr) return AudioResult::kUnsupported;
    pa_stream_set_state_callback(stream_, &PulseLoopbackStream::OnState, this);
    pa_stream_set_read_callback(stream_, &PulseLoopbackStream::OnReadable, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
    // Not moved with the default: a new default reopens the capture in that sink's format.
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_, monitor.c_str(), &attr, flags) < 0) return AudioResult::kFailed;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!cv_.wait_for(lock, kConnectTimeout, [this] { return ready_ || failed_; })) return AudioResult::kTimedOut;
  return failed_ ? AudioResult::kFailed : AudioResult::kOk;
}

WaitResult PulseLoopbackStream::WaitForData(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, timeout, [this] { return readable_ || failed_; });
  if (failed_) return WaitResult::kError;
  return readable_ ? WaitResult::kData : WaitResult::kTimeout;
}

ReadResult PulseLoopbackStream::ReadPacket(CapturePacket* packet) {
  PulseConnection::Locked lock(connection_.get());
  pa_stream_state_t state = pa_stream_get_state(stream_);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) return ReadResult::kError;
  const void* data = nullptr;
  size_t size = 0;
  if (pa_stream_peek(stream_, &data, &size) < 0) return ReadResult::kError;
  if (size == 0) {
    std::lock_guard<std::mutex> guard(mutex_);
    readable_ = false;
    return ReadResult::kEmpty;
  }
  const size_t align = format_.BlockAlign();
  packet->frames = static_cast<uint32_t>(size / align);
  // A hole in the record buffer is silence the server never wrote; a packet of zero
  // samples is what a sink renders while nothing plays. Either is dropped like a
  // packet the system marks silent, so nothing is sent while the computer is silent.
  packet->silent = data == nullptr || IsDigitalSilence(static_cast<const uint8_t*>(data),
                                                        packet->frames * align, format_.type);
  if (data != nullptr) {
    buffer_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + packet->frames * align);
    const float gain = on_stand_in_ ? connection_->MonitorGain() : 1.0f;
    if (gain != 1.0f) {
      const size_t count = buffer_.size() / sizeof(float);
      for (size_t n = 0; n < count; ++n) {
        float sample;
        std::memcpy(&sample, buffer_.data() + n * sizeof(float), sizeof sample);
        sample *= gain;
        std::memcpy(buffer_.data() + n * sizeof(float), &sample, sizeof sample);
      }
    }
    packet->data = buffer_.data();
  } else {
    packet->data = nullptr;
  }
  pa_stream_drop(stream_);
  return ReadResult::kPacket;
}

void PulseLoopbackStream::OnState(pa_stream* s, void* userdata) {
  auto* self = static_cast<PulseLoopbackStream*>(userdata);
  pa_stream_state_t state = pa_stream_get_state(s);
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (state == PA_STREAM_READY) self->ready_ = true;
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) self->failed_ = true;
  self->cv_.notify_all();
}

void PulseLoopbackStream::OnReadable(pa_stream*, size_t, void* userdata) {
  auto* self = static_cast<PulseLoopbackStream*>(userdata);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->readable_ = true;
  self->cv_.notify_all();
}

}  // namespace platform::audio
