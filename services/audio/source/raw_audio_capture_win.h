#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio_system.h"
#include "services/audio/source/raw_audio_capture_impl.h"

namespace audiosource {

// Loopback capture of the default output endpoint on a thread of its own. The mix is
// converted to stereo float at the wanted rate, cut into blocks of the frame count,
// scaled by the endpoint's master volume and handed to the callback block by block.
// Silent and muted packets are dropped; a pause of more than 100 ms discards the
// partly filled block. A change of the default endpoint moves the capture to the new
// one; a failing endpoint is torn down and opened again after a short wait.
//
// Around a capture it looks after the output device: it saves and restores mute and
// volume, keeps the local output muted while capturing when asked, and moves the
// default endpoint onto the maker's USB audio devices (and off them when made).
//
// Kept muted, the output the user has at the moment stays silent and its sound is
// still captured: an unmute, and the first touch of the control, are answered with a
// mute (the sound system's hold keeps a muted output audible to the capture), and an
// output that becomes the default unmuted is muted too. Sound is sent unless the output
// stays muted since before the capture: once the user touches the control, or picks an
// output that was not muted, it flows. At stop the output is unmuted exactly when it
// was unmuted at start, and gets its volume back. The saved mute and volume belong to
// the output they were saved from: an output picked during the capture (or left after
// an unplug) keeps its own, and only what the capture did to it is undone.
class RawAudioCaptureWin : public RawAudioCaptureImpl {
 public:
  // Endpoint and volume notifications, delivered on the sound system's threads.
  class AudioOutputObserver : public platform::audio::EndpointObserver {
   public:
    explicit AudioOutputObserver(platform::audio::AudioSystem* system) : system_(system) {}
    void Reset();
    void OnDefaultDeviceChanged() override;
    void OnVolumeChanged(bool muted, float volume) override;
    // Mutes the default output when it is to be kept muted. Serialised with
    // SetKeepMuted, so that no mute of a notification lands after the stop's unmute.
    void MuteIfKept();
    void SetKeepMuted(bool keep);

    std::atomic<bool> is_mute_{false};
    std::atomic<float> volume_{1.0f};
    std::atomic<bool> device_changed_{false};
    std::atomic<bool> keep_muted_{false};
    std::atomic<bool> notified_{false};
    // A mute was asked for while kept muted (at the start or since).
    std::atomic<bool> asked_mute_{false};

   private:
    platform::audio::AudioSystem* system_;
    // Recursive: a system may notify from inside the mute it is asked for.
    std::recursive_mutex keep_muted_mutex_;
  };

  static constexpr std::chrono::milliseconds kGapLimit{100};
  static constexpr std::chrono::milliseconds kWait{10};
  static constexpr std::chrono::milliseconds kDefaultRetryDelay{300};

  explicit RawAudioCaptureWin(std::shared_ptr<platform::audio::AudioSystem> system);
  ~RawAudioCaptureWin() override;
  RawAudioCaptureWin(const RawAudioCaptureWin&) = delete;
  RawAudioCaptureWin& operator=(const RawAudioCaptureWin&) = delete;

  void Start() override;
  void Stop() override;
  // Set before Start.
  void SetCallback(Callback callback) override;
  void SetFrameCount(uint32_t frames) { frame_count_ = frames; }
  void SetSampleRate(uint32_t rate) { sample_rate_ = rate; }
  void SetMuteLocalOutput(bool mute) { mute_local_output_ = mute; }
  // How long a failed endpoint set-up waits (on the stop signal) before trying again.
  void SetRetryDelay(std::chrono::milliseconds delay) { retry_delay_ = delay; }

 private:
  void CaptureLoop();
  // One endpoint from open to tear-down. False when the set-up or the capture failed.
  bool CaptureEndpoint();
  void Deliver(const uint8_t* data, size_t size);
  bool IsMutedPacket() const;
  bool StopRequested();
  void WaitForStop(std::chrono::milliseconds delay);
  void OutputDeviceStart();
  void OutputDeviceStopBeforeJoin();
  void OutputDeviceStopAfterJoin();

  std::shared_ptr<platform::audio::AudioSystem> system_;
  uint32_t frame_count_ = 1920;
  uint32_t sample_rate_ = 48000;
  std::atomic<bool> mute_local_output_{false};
  std::string saved_default_id_;
  bool moved_default_ = false;  // this start made a listed device the default
  // Owner's thread only: held while the local output is kept muted.
  std::unique_ptr<platform::audio::CaptureHold> hold_;
  std::unique_ptr<AudioOutputObserver> observer_;
  std::atomic<bool> running_{false};
  std::mutex callback_mutex_;
  Callback callback_;
  std::mutex stop_mutex_;
  std::condition_variable stop_cv_;
  bool stop_requested_ = false;
  std::chrono::milliseconds retry_delay_{kDefaultRetryDelay};
  // Capture thread only.
  bool have_last_delivery_ = false;
  std::chrono::steady_clock::time_point last_delivery_;
  std::vector<float> block_;
  size_t fill_ = 0;  // bytes
  bool apply_volume_ = true;
  // Owner's thread only.
  bool saved_mute_ = false;
  float saved_volume_ = 1.0f;
  bool saved_volume_valid_ = false;
  std::string saved_output_id_;  // the output the mute and volume were saved from
  bool restore_volume_ = false;  // the stop found that output still the default
  std::thread thread_;
};

}  // namespace audiosource
