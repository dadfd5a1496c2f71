#pragma once

#include <string>
#include <vector>

#include "client/controller.h"

// The window tests' Controller: every call is recorded ("Connect 1.2.3.4:7386 ABCDEF",
// "PlayVideo 0", "OnToggleViceScreen 1", ...), nothing is connected, and the test
// drives the window by emitting the Controller's signals itself (they are public).
// With CASTORA_FAKE_CONTROLLER_TRACE set, each call is also printed to stdout at once
// ("controller: <call>"), for tests that watch a client program from outside. With
// CASTORA_FAKE_CONTROLLER_SHARE_SOUND set, it shares the system sound from its
// construction ("SharingSound") to its destruction ("SoundStopped") with the local output
// muted, as a real share does, for tests that end the program while it shares.
struct FakeControllerState {
  std::vector<std::string> calls;
  crcp::info::DeviceInfo peer{"Linux", "1", "Meeting room", "user", "R.9.8.7.6"};
  bool has_remote_input = true;
  bool video_playing = false;

  // The calls recorded since the last Take, and forget them.
  std::vector<std::string> Take();
  bool Called(const std::string& call) const;
};

// The state of the most recently constructed Controller (nullptr before the first).
FakeControllerState* LastFakeController();
