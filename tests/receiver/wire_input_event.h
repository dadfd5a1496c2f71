#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The input-event datagram the receiver sends to the client's data port, every
// multi-byte field big-endian:
//
//   offset size field
//   0      1    packet_type          0 or 1 (decoded alike by the client)
//   1      1    invert_packet_type   ~packet_type
//   2      2    payload_size         16 * n
//   4      16n  events
//
// Event (16 bytes): 0 sec u32 (0 is illegal), 4 usec u32, 8 type u16, 10 code u16,
// 12 value s32 (two's complement, so -1 is FF FF FF FF).
//
// The client's receive buffer holds 1500 bytes, so a datagram carries at most 93 events.
namespace receiver::wire {

constexpr size_t kInputHeaderSize = 4;
constexpr size_t kInputEventSize = 16;
constexpr size_t kMaxInputEventsPerDatagram = (1500 - kInputHeaderSize) / kInputEventSize;

struct TouchEvent {
  uint32_t sec = 1;
  uint32_t usec = 0;
  uint16_t type = 0;
  uint16_t code = 0;
  int32_t value = 0;
};

// Linux input numbering, the values the receiver scripts use.
namespace input {
constexpr uint16_t kEvSyn = 0;
constexpr uint16_t kEvKey = 1;
constexpr uint16_t kEvRel = 2;
constexpr uint16_t kEvAbs = 3;
constexpr uint16_t kSynReport = 0;
constexpr uint16_t kBtnLeft = 0x110;
constexpr uint16_t kBtnTouch = 0x14A;
constexpr uint16_t kRelWheel = 8;
constexpr uint16_t kAbsMtSlot = 0x2F;
constexpr uint16_t kAbsMtPositionX = 0x35;
constexpr uint16_t kAbsMtPositionY = 0x36;
constexpr uint16_t kAbsMtTrackingId = 0x39;
}  // namespace input

// The datagram of `events`; nothing when more than kMaxInputEventsPerDatagram are given.
// `packet_type` is written as given, so a test can send an illegal one.
std::optional<std::vector<uint8_t>> EncodeInputDatagram(const std::vector<TouchEvent>& events,
                                                        uint8_t packet_type = 0);

// The datagram's events back; nothing when it is shorter than its header says, its type
// bytes do not match, or an event has sec 0. For checking scripts, not for the client.
std::optional<std::vector<TouchEvent>> DecodeInputDatagram(const uint8_t* data, size_t size);

// One contact of a multi-touch frame: slot, tracking id (-1 lifts it), position.
struct Contact {
  int32_t slot = 0;
  int32_t tracking_id = 0;
  int32_t x = 0;
  int32_t y = 0;
};

// A protocol-B multi-touch frame: per contact ABS_MT_SLOT, ABS_MT_TRACKING_ID and (for a
// contact that is down) ABS_MT_POSITION_X/Y; then SYN_REPORT. All at `sec`.`usec`.
std::vector<TouchEvent> TouchFrame(const std::vector<Contact>& contacts, uint32_t sec,
                                   uint32_t usec = 0);

std::string ToString(const TouchEvent& event);

}  // namespace receiver::wire
