#pragma once

#include <cstdint>
#include <string>

namespace crcp::video {

// One video mirror session with the receiver. This header holds the session's
// interfaces; the session itself is MirrorSenderSessionImpl.
class MirrorSenderSession {
 public:
  // Events of one session, called on the command session's worker thread (OnPause
  // and OnTeardown also on the thread of the caller that paused or stopped). Error
  // codes are those of ClientCommandSession.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnError(int code) = 0;
    virtual void OnPlay() = 0;
    virtual void OnPause() = 0;
    virtual void OnTeardown() = 0;
  };

  // The application's handle on one session, called on its GUI thread. It does not
  // keep the session alive: once the session is released the command operations do
  // nothing (and return false).
  class IController {
   public:
    virtual ~IController() = default;
    // Sends the start command with the display mode (the MirrorType: 1 one screen,
    // 0 join screen); streaming begins when the receiver answers.
    virtual void Play(uint16_t display_mode) = 0;
    // Whether the pause (stop) command went out.
    virtual bool Pause() = 0;
    virtual bool Teardown() = 0;
    // True when the session's video neither plays, nor is paused, nor waits for the
    // answer to a start (and once the session is released). After an error this tells
    // whether the error ended the stream: a receiver's refusal of a start does, a
    // malformed resolution change does not.
    virtual bool IsStopped() = 0;
    // The options below act on the pipeline shared by every session of the codec.
    // false: the main screen; true: the extended (virtual) screen.
    virtual void ChooseScreenNum(bool extended) = 0;
    virtual void EnableHWAccel(bool enabled) = 0;
    virtual void EnableHDMode(bool enabled) = 0;
    virtual void KeepAspectRatio(bool keep) = 0;
    virtual void SetCaptureCursor(bool capture) = 0;
  };
};

}  // namespace crcp::video
