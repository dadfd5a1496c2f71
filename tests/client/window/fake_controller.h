#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QSize>

#include "client/i_controller.h"

// The window tests' controller: every call is recorded ("Connect 1.2.3.4:7386 ABCDEF",
// "PlayVideo 0", "OnToggleViceScreen 1", ...), nothing is connected, and the test
// drives the window by emitting the controller's signals itself (they are public).
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

// A ControllerFactory: a fake whose first recorded call is "Construct <w>x<h>".
std::unique_ptr<IController> MakeFakeController(QSize screen_size);

// The state of the most recently made fake (nullptr before the first, and once it is
// gone).
FakeControllerState* LastFakeController();
