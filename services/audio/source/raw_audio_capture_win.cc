#include "services/audio/source/raw_audio_capture_win.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "services/audio/source/audio_format_converter.h"
#include "services/audio/source/endpoint_operations.h"

namespace audiosource {

using platform::audio::AudioResult;
using platform::audio::CapturePacket;
using platform::audio::LoopbackStream;
using platform::audio::MixFormat;
using platform::audio::ReadResult;
using platform::audio::SampleType;
using platform::audio::WaitResult;

// Reports a failed call with its source text and gives up on the endpoint.
#define RETURN_FALSE_ON_FAIL(call)          \
  do {                                      \
    const AudioResult result_ = (call);     \
    if (result_ != AudioResult::kOk) {      \
      PrintFailure(#call, result_);         \
      return false;                         \
    }                                       \
  } while (0)

constexpr std::chrono::milliseconds RawAudioCaptureWin::kGapLimit;
constexpr std::chrono::milliseconds RawAudioCaptureWin::kWait;
constexpr std::chrono::milliseconds RawAudioCaptureWin::kDefaultRetryDelay;

// --- Observer ---

void RawAudioCaptureWin::AudioOutputObserver::Reset() {
  is_mute_ = false;
  volume_ = 1.0f;
  device_changed_ = false;
  keep_muted_ = false;
  notified_ = false;
  asked_mute_ = false;
}

void RawAudioCaptureWin::AudioOutputObserver::OnDefaultDeviceChanged() { device_changed_ = true; }

void RawAudioCaptureWin::AudioOutputObserver::OnVolumeChanged(bool muted, float volume) {
  is_mute_ = muted;
  volume_ = volume;
  const bool first = !notified_.exchange(true);
  // The user unmuted while the output is to stay muted: mute it again at once. The
  // first touch mutes it as well: an output muted since before the capture is then
  // muted in the way that lets its sound reach the capture (on a system whose own mute
  // silences the loopback too).
  if (!muted || first) MuteIfKept();
}

void RawAudioCaptureWin::AudioOutputObserver::MuteIfKept() {
  // Not kept muted: nothing to do, and no lock taken. A notification from inside the
  // stop's own unmute comes here with the sound system's lock held, and must not wait
  // for ours then (the start takes ours before the system's).
  if (!keep_muted_) return;
  std::lock_guard<std::recursive_mutex> lock(keep_muted_mutex_);
  if (!keep_muted_) return;
  asked_mute_ = true;
  SetMute(*system_, true);
}

void RawAudioCaptureWin::AudioOutputObserver::SetKeepMuted(bool keep) {
  std::lock_guard<std::recursive_mutex> lock(keep_muted_mutex_);
  keep_muted_ = keep;
}

// --- Capture ---

RawAudioCaptureWin::RawAudioCaptureWin(std::shared_ptr<platform::audio::AudioSystem> system)
    : system_(std::move(system)), observer_(std::make_unique<AudioOutputObserver>(system_.get())) {
  // A listed device must not stay the default output while nothing is shared.
  for (const char* row : kListedDevices) MoveDefaultOffDevice(*system_, row);
}

RawAudioCaptureWin::~RawAudioCaptureWin() { Stop(); }

void RawAudioCaptureWin::SetCallback(Callback callback) {
  std::lock_guard<std::mutex> lock(callback_mutex_);
  callback_ = std::move(callback);
}

void RawAudioCaptureWin::Start() {
  if (thread_.joinable()) return;
  observer_->Reset();
  OutputDeviceStart();
  block_.assign(static_cast<size_t>(frame_count_) * 2, 0.0f);
  fill_ = 0;
  have_last_delivery_ = false;
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stop_requested_ = false;
  }
  running_ = true;
  thread_ = std::thread(&RawAudioCaptureWin::CaptureLoop, this);
}

void RawAudioCaptureWin::Stop() {
  if (!thread_.joinable()) return;
  OutputDeviceStopBeforeJoin();
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stop_requested_ = true;
    stop_cv_.notify_all();
  }
  running_ = false;
  thread_.join();
  OutputDeviceStopAfterJoin();
}

bool RawAudioCaptureWin::StopRequested() {
  std::lock_guard<std::mutex> lock(stop_mutex_);
  return stop_requested_;
}

void RawAudioCaptureWin::WaitForStop(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(stop_mutex_);
  stop_cv_.wait_for(lock, delay, [this] { return stop_requested_; });
}

void RawAudioCaptureWin::CaptureLoop() {
  try {
    std::unique_ptr<platform::audio::Subscription> endpoint_changes;
    while (running_ && !StopRequested()) {
      // Subscribed again on later rounds when the sound system could not notify yet.
      if (!endpoint_changes) endpoint_changes = system_->SubscribeEndpointChanges(observer_.get());
      if (!CaptureEndpoint() && running_) {
        // No device, no server or a broken stream: trying again at once would spin.
        WaitForStop(retry_delay_);
      }
    }
  } catch (const std::exception& e) {
    std::printf("failed , %s (0x%08lx) \n", e.what(), static_cast<unsigned long>(AudioResult::kFailed));
  }
  running_ = false;
}

bool RawAudioCaptureWin::CaptureEndpoint() {
  platform::audio::Endpoint endpoint;
  RETURN_FALSE_ON_FAIL(system_->GetDefaultEndpoint(&endpoint));
  // Subscribed before the state is read, so that no change falls between the two.
  // Declared before the stream so that it outlives it.
  std::unique_ptr<platform::audio::Subscription> volume_changes = system_->SubscribeVolume(observer_.get());
  bool muted = false;
  float volume = 1.0f;
  RETURN_FALSE_ON_FAIL(system_->GetMute(&muted));
  if (!muted && observer_->keep_muted_) {
    // To be kept muted, yet unmuted: the user unmuted it before the notifications
    // reached us, or another output that was not muted became the default (picked,
    // plugged in, or the last one went away). Either way its sound is sent, and it is
    // kept silent like the first.
    observer_->notified_ = true;
    observer_->MuteIfKept();
    RETURN_FALSE_ON_FAIL(system_->GetMute(&muted));
  }
  RETURN_FALSE_ON_FAIL(system_->GetMasterVolume(&volume));
  observer_->is_mute_ = muted;
  observer_->volume_ = volume;
  std::unique_ptr<LoopbackStream> stream;
  RETURN_FALSE_ON_FAIL(system_->OpenLoopback(&stream));

  const MixFormat format = stream->Format();
  const MixFormat target{sample_rate_, 2, SampleType::kFloat32};
  std::unique_ptr<AudioFormatConverter> converter;
  // Anything but stereo float at the wanted rate is converted, a 16-bit stereo mix at
  // that rate included: the encoder only takes float.
  if (format != target) {
    converter = std::make_unique<AudioFormatConverter>();
    if (!converter->Init(format, target)) {
      PrintFailure("converter->Init(format, target)", AudioResult::kUnsupported);
      return false;
    }
    converter->SetCallback([this](const uint8_t* data, unsigned size) { Deliver(data, size); });
  }
  apply_volume_ = !stream->AppliesEndpointVolume();
  RETURN_FALSE_ON_FAIL(stream->Start());

  const size_t align = format.BlockAlign();
  for (;;) {
    const WaitResult wait = stream->WaitForData(kWait);
    if (observer_->device_changed_.exchange(false)) return true;  // open the new default
    if (StopRequested()) {
      running_ = false;
      return true;
    }
    if (wait == WaitResult::kError) {
      PrintFailure("stream->WaitForData(kWait)", AudioResult::kFailed);
      return false;
    }
    while (running_) {
      CapturePacket packet;
      const ReadResult read = stream->ReadPacket(&packet);
      if (read == ReadResult::kEmpty) break;
      if (read == ReadResult::kError) {
        PrintFailure("stream->ReadPacket(&packet)", AudioResult::kFailed);
        return false;
      }
      if (!packet.silent && !IsMutedPacket() && packet.frames > 0 && packet.data != nullptr) {
        const auto now = system_->Now();
        // After a pause the partial block would join sound from either side of it.
        if (have_last_delivery_ && now - last_delivery_ > kGapLimit) fill_ = 0;
        have_last_delivery_ = true;
        last_delivery_ = now;
        const size_t size = static_cast<size_t>(packet.frames) * align;
        if (converter) {
          if (!converter->Process(packet.data, size)) {
            stream->ReleasePacket();
            PrintFailure("converter->Process(packet.data, size)", AudioResult::kFailed);
            return false;
          }
        } else {
          Deliver(packet.data, size);
        }
      }
      stream->ReleasePacket();
    }
  }
}

bool RawAudioCaptureWin::IsMutedPacket() const {
  const bool is_mute = observer_->is_mute_;
  if (!mute_local_output_) return is_mute;
  // Kept muted by us: sound goes on. Muted by the user before the capture: nothing is
  // sent until the user touches the volume or mute control.
  return saved_mute_ && is_mute && !observer_->notified_;
}

void RawAudioCaptureWin::Deliver(const uint8_t* data, size_t size) {
  const size_t block_bytes = block_.size() * sizeof(float);
  if (block_bytes == 0) return;
  uint8_t* block = reinterpret_cast<uint8_t*>(block_.data());
  while (running_ && size > 0) {
    const size_t take = std::min(size, block_bytes - fill_);
    std::memcpy(block + fill_, data, take);
    fill_ += take;
    data += take;
    size -= take;
    if (fill_ == block_bytes) {
      const float volume = observer_->volume_;
      if (apply_volume_ && volume != 1.0f) {
        for (float& s : block_) s *= volume;
      }
      {
        std::lock_guard<std::mutex> lock(callback_mutex_);
        if (callback_) callback_(block, static_cast<unsigned>(block_bytes));
      }
      fill_ = 0;
    }
  }
}

// --- Output device around a capture ---

void RawAudioCaptureWin::OutputDeviceStart() {
  if (mute_local_output_) hold_ = system_->HoldForCapture();
  saved_mute_ = GetMute(*system_);
  saved_volume_ = GetMasterVolume(*system_, &saved_volume_valid_);
  moved_default_ = false;
  if (mute_local_output_) {
    platform::audio::Endpoint output;
    saved_output_id_ = system_->GetDefaultEndpoint(&output) == AudioResult::kOk ? output.id : std::string();
    observer_->SetKeepMuted(true);
    if (!saved_mute_) {
      // Not through MuteIfKept: its lock must not be held into the sound system, whose
      // notifications take that lock from the system's side.
      observer_->asked_mute_ = true;
      SetMute(*system_, true);
    }
    return;
  }
  // The user's default, taken once: moving onto a second listed device must not make
  // the first one the default to come back to.
  platform::audio::Endpoint original;
  if (system_->GetDefaultEndpoint(&original) != AudioResult::kOk) original.id.clear();
  bool moved = false;
  for (const char* row : kListedDevices) {
    if (MoveDefaultOntoDevice(*system_, row, original.id)) moved = true;
  }
  if (moved) {
    saved_default_id_ = original.id;
    moved_default_ = true;
    // The listed device takes over the user's mute state and volume.
    SetMute(*system_, saved_mute_);
    if (saved_volume_valid_) SetVolume(*system_, saved_volume_);
  }
}

void RawAudioCaptureWin::OutputDeviceStopBeforeJoin() {
  if (mute_local_output_) {
    observer_->SetKeepMuted(false);
    platform::audio::Endpoint output;
    const bool same = system_->GetDefaultEndpoint(&output) != AudioResult::kOk || output.id == saved_output_id_;
    restore_volume_ = same;
    if (same) {
      if (!saved_mute_) SetMute(*system_, false);
    } else if (observer_->asked_mute_) {
      // Another output than the one saved from: what the capture muted is given back,
      // and the output keeps the mute and volume it came with.
      SetMute(*system_, false);
    }
    return;
  }
  // Only what this start moved is moved back; a start that moved nothing leaves the
  // default alone rather than restoring an id from an earlier start.
  if (!moved_default_) return;
  const bool muted = GetMute(*system_);
  RestoreDefaultEndpoint(*system_, saved_default_id_);
  SetMute(*system_, muted);
  moved_default_ = false;
}

void RawAudioCaptureWin::OutputDeviceStopAfterJoin() {
  if (mute_local_output_ && saved_volume_valid_ && restore_volume_) SetVolume(*system_, saved_volume_);
  // An output muted since before the capture stays muted, now in the ordinary way.
  hold_.reset();
}

}  // namespace audiosource
