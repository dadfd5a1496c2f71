#pragma once

#include <string>

#include "platform/audio/audio_system.h"

// What the capture does to the output device around a capture: mute and volume of the
// default endpoint, and the default endpoint itself. Failures are printed and otherwise
// ignored: the capture goes on with whatever output there is.
namespace audiosource {

// The maker's USB audio devices, matched as substrings of the id of the hardware an
// endpoint is connected to, case-sensitively, in this order.
constexpr int kListedDeviceCount = 4;
extern const char* const kListedDevices[kListedDeviceCount];

// Prints a failed call the way every capture failure is reported.
void PrintFailure(const char* call, platform::audio::AudioResult result);

bool IsListedDevice(const platform::audio::Endpoint& endpoint, const std::string& row);

// The default endpoint's master volume; *ok tells whether it could be read (the value
// is then 1.0).
float GetMasterVolume(platform::audio::AudioSystem& system, bool* ok = nullptr);
bool GetMute(platform::audio::AudioSystem& system);
void SetMute(platform::audio::AudioSystem& system, bool mute);
void SetVolume(platform::audio::AudioSystem& system, float volume);
bool SetDefaultEndpoint(platform::audio::AudioSystem& system, const std::string& id);

// When the default is a listed device: every other active endpoint is made the default
// in turn, so the last of them stays the default.
void MoveDefaultOffDevice(platform::audio::AudioSystem& system, const std::string& row);

// Makes every active endpoint that is a listed device the default in turn. Returns
// true when the default now differs from `original_id` because of it.
bool MoveDefaultOntoDevice(platform::audio::AudioSystem& system, const std::string& row,
                           const std::string& original_id);

void RestoreDefaultEndpoint(platform::audio::AudioSystem& system, const std::string& saved_id);

}  // namespace audiosource
