#pragma once

#include <cstdint>

#include <QByteArray>

// Session and power events reach the main window the way the operating system's
// window messages would: as native events with the message numbers and parameters of
// those messages, through the application's native event filters. One handler then
// serves them whatever delivered them (the logind watcher here, the window system on
// a platform that sends such messages itself, or a test).
namespace platform::session {

// Message numbers and parameters, as the window system numbers them.
constexpr uint32_t kWmPowerBroadcast = 536;   // power state change
constexpr uintptr_t kPbtApmSuspend = 4;       //   the system is about to suspend
constexpr uint32_t kWmWtsSessionChange = 689;  // session state change
constexpr uintptr_t kWtsConsoleDisconnect = 2;  //   the session left the console (user switch)
constexpr uintptr_t kWtsSessionLock = 7;        //   the session was locked
constexpr uintptr_t kWtsSessionUnlock = 8;      //   the session was unlocked

// The payload of a native event of type kSessionMessageEventType.
struct SessionMessage {
  uint32_t message = 0;
  uintptr_t wparam = 0;
};

// The native event type under which SessionMessage payloads travel.
extern const QByteArray kSessionMessageEventType;

// Hands the message to every native event filter of the application through the
// event dispatcher of the calling thread (the GUI thread). False when there is no
// dispatcher; otherwise whether a filter consumed it.
bool DeliverSessionMessage(uint32_t message, uintptr_t wparam);

// The message carried by a native event, or nullptr when the event is not one of ours.
const SessionMessage* AsSessionMessage(const QByteArray& event_type, void* message);

}  // namespace platform::session
