#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "services/remote_input/input_event.h"

// The input datagram (all fields big-endian):
//   0  u8   packet_type          0 or 1
//   1  u8   invert_packet_type   packet_type ^ 0xFF
//   2  u16  payload_size
//   4  16*n events               n = payload_size / 16; remainder bytes ignored
// Event: 0 u32 sec, 4 u32 usec, 8 u16 type, 10 u16 code, 12 s32 value.
// Bytes behind 4 + payload_size are ignored.
namespace crcp::ril {

constexpr size_t kInputHeaderSize = 4;
constexpr size_t kInputEventSize = 16;

// Decodes a whole datagram into `events` (resized to n). False when the datagram is
// refused; then no event of it may be used.
bool Deserialize(const uint8_t* data, size_t size, std::vector<InputEvent>& events);
// Needs 4 bytes; converts payload_size to host order and applies IsLegal.
bool DeserializeHeader(const uint8_t* data, size_t size, InputPacketHeader& header);
bool IsLegal(const InputPacketHeader& header);
// Needs 16 bytes; refuses an event whose sec is 0.
bool DeserializeEvent(const uint8_t* data, size_t size, InputEvent& event);

// The encoder of the same format (the receiver's side; used by tests and the
// reference receiver). payload_size is 16 * events.size(); at most 4095 events fit.
std::vector<uint8_t> Serialize(const std::vector<InputEvent>& events, uint8_t packet_type = 0);
void SerializeEvent(const InputEvent& event, uint8_t* out16);

// Text forms of the log lines.
std::string ToString(const InputPacketHeader& header);
std::string ToString(const InputEvent& event);
// Each byte as two upper-case hex digits and one blank: {0x0A} -> "0A ".
std::string HexDump(const uint8_t* data, size_t size);

}  // namespace crcp::ril
