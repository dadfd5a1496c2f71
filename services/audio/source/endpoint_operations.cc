#include "services/audio/source/endpoint_operations.h"

#include <cstdio>
#include <vector>

namespace audiosource {

using platform::audio::AudioResult;
using platform::audio::AudioSystem;
using platform::audio::Endpoint;

const char* const kListedDevices[kListedDeviceCount] = {
    "vid_2e5a&pid_0b57",
    "vid_2e5a&pid_0c18",
    "vid_2e5a&pid_0c29",
    "vid_2e5a&pid_0c63",
};

void PrintFailure(const char* call, AudioResult result) {
  std::printf("failed , %s (0x%08lx) \n", call, static_cast<unsigned long>(result));
  std::fflush(stdout);
}

bool IsListedDevice(const Endpoint& endpoint, const std::string& row) {
  return !row.empty() && endpoint.connected_device_id.find(row) != std::string::npos;
}

float GetMasterVolume(AudioSystem& system, bool* ok) {
  float volume = 1.0f;
  AudioResult r = system.GetMasterVolume(&volume);
  if (r != AudioResult::kOk) {
    PrintFailure("system.GetMasterVolume(&volume)", r);
    volume = 1.0f;
  }
  if (ok != nullptr) *ok = r == AudioResult::kOk;
  return volume;
}

bool GetMute(AudioSystem& system) {
  bool muted = false;
  if (system.GetMute(&muted) != AudioResult::kOk) return false;
  return muted;
}

void SetMute(AudioSystem& system, bool mute) { system.SetMute(mute); }

void SetVolume(AudioSystem& system, float volume) {
  AudioResult r = system.SetMasterVolume(volume);
  if (r != AudioResult::kOk) PrintFailure("system.SetMasterVolume(volume)", r);
}

bool SetDefaultEndpoint(AudioSystem& system, const std::string& id) {
  return system.SetDefaultEndpoint(id) == AudioResult::kOk;
}

void MoveDefaultOffDevice(AudioSystem& system, const std::string& row) {
  Endpoint current;
  if (system.GetDefaultEndpoint(&current) != AudioResult::kOk) return;
  if (!IsListedDevice(current, row)) return;
  std::vector<Endpoint> endpoints;
  if (system.ActiveEndpoints(&endpoints) != AudioResult::kOk) return;
  for (const Endpoint& e : endpoints) {
    if (e.id != current.id) SetDefaultEndpoint(system, e.id);
  }
}

bool MoveDefaultOntoDevice(AudioSystem& system, const std::string& row, const std::string& original_id) {
  std::vector<Endpoint> endpoints;
  if (system.ActiveEndpoints(&endpoints) != AudioResult::kOk) return false;
  bool moved = false;
  for (const Endpoint& e : endpoints) {
    if (!IsListedDevice(e, row)) continue;
    if (SetDefaultEndpoint(system, e.id) && e.id != original_id) moved = true;
  }
  return moved;
}

void RestoreDefaultEndpoint(AudioSystem& system, const std::string& saved_id) {
  SetDefaultEndpoint(system, saved_id);
}

}  // namespace audiosource
