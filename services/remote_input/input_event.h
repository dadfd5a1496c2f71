#pragma once

#include <cstdint>

namespace crcp::ril {

// One Linux-style input event as the receiver sends it, held in host byte order.
// On the wire it is 16 big-endian bytes: sec, usec, type, code, value.
struct InputEvent {
  uint32_t sec = 0;   // seconds of the time stamp; 0 marks an illegal event
  uint32_t usec = 0;  // microseconds of the time stamp
  uint16_t type = 0;  // EV_SYN 0, EV_KEY 1, EV_REL 2, EV_ABS 3, ...
  uint16_t code = 0;  // code within the type, e.g. ABS_MT_SLOT 47
  int32_t value = 0;  // e.g. -1 for a released tracking id
};

inline bool operator==(const InputEvent& a, const InputEvent& b) {
  return a.sec == b.sec && a.usec == b.usec && a.type == b.type && a.code == b.code &&
         a.value == b.value;
}

// The 4-byte head of an input datagram; payload_size in host order after decoding.
struct InputPacketHeader {
  uint8_t packet_type = 0;         // 0 or 1, decoded alike
  uint8_t invert_packet_type = 0;  // complement of packet_type
  uint16_t payload_size = 0;       // bytes of events behind the header
};

// Event types and codes the devices react to (Linux input numbering).
namespace ev {
constexpr uint16_t kSyn = 0;
constexpr uint16_t kKey = 1;
constexpr uint16_t kRel = 2;
constexpr uint16_t kAbs = 3;
// Not a Linux type: the receiver's absolute pointer position (0..65535 per axis).
constexpr uint16_t kAbsolutePointer = 24;

constexpr uint16_t kBtnLeft = 272;
constexpr uint16_t kBtnRight = 273;
constexpr uint16_t kBtnMiddle = 274;
constexpr uint16_t kBtnTouch = 330;

constexpr uint16_t kRelX = 0;
constexpr uint16_t kRelY = 1;
constexpr uint16_t kRelWheel = 8;

constexpr uint16_t kAbsMtSlot = 47;
constexpr uint16_t kAbsMtTouchMajor = 48;
constexpr uint16_t kAbsMtTouchMinor = 49;
constexpr uint16_t kAbsMtOrientation = 52;
constexpr uint16_t kAbsMtPositionX = 53;
constexpr uint16_t kAbsMtPositionY = 54;
constexpr uint16_t kAbsMtTrackingId = 57;
constexpr uint16_t kAbsMtPressure = 58;
}  // namespace ev

}  // namespace crcp::ril
