#include "services/remote_input/input_event_codec.h"

#include <algorithm>
#include <cstring>

#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::input event";

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t ReadU32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
}  // namespace

bool IsLegal(const InputPacketHeader& header) {
  if ((header.invert_packet_type ^ header.packet_type) != 0xFF) {
    LOG_WARN_LIMITED("UnPackData packet_type error {} {}", HexDump(&header.packet_type, 1),
                     HexDump(&header.invert_packet_type, 1));
    return false;
  }
  if (header.packet_type >= 2) {
    LOG_WARN_LIMITED("UnPackData packet_type unsupport");
    return false;
  }
  return true;
}

bool DeserializeHeader(const uint8_t* data, size_t size, InputPacketHeader& header) {
  if (data == nullptr || size < kInputHeaderSize) {
    LOG_ERROR_LIMITED("Cannot deserialize the buffer as a input evnet packet header: {}",
                      HexDump(data, data == nullptr ? 0 : size));
    return false;
  }
  header.packet_type = data[0];
  header.invert_packet_type = data[1];
  header.payload_size = ReadU16(data + 2);
  if (!IsLegal(header)) {
    LOG_ERROR_LIMITED("Received a illegal input evnet packet header: {}", ToString(header));
    return false;
  }
  return true;
}

bool DeserializeEvent(const uint8_t* data, size_t size, InputEvent& event) {
  if (data == nullptr || size < kInputEventSize) {
    LOG_ERROR_LIMITED("Cannot deserialize the buffer as a input evnet: {}",
                      HexDump(data, data == nullptr ? 0 : size));
    return false;
  }
  event.sec = ReadU32(data);
  event.usec = ReadU32(data + 4);
  event.type = ReadU16(data + 8);
  event.code = ReadU16(data + 10);
  event.value = static_cast<int32_t>(ReadU32(data + 12));
  if (event.sec == 0) {
    LOG_ERROR_LIMITED("Received a illegal input event: {}", ToString(event));
    return false;
  }
  return true;
}

bool Deserialize(const uint8_t* data, size_t size, std::vector<InputEvent>& events) {
  InputPacketHeader header;
  if (!DeserializeHeader(data, size, header)) return false;
  if (size < static_cast<size_t>(header.payload_size) + kInputHeaderSize) {
    LOG_ERROR_LIMITED(
        "Buffer length not match the packet header payload_size, maybe a incomplete packet");
    return false;
  }
  // payload_size is at most 65535 and checked against the received size above, so
  // the vector never exceeds what the datagram holds.
  const size_t count = header.payload_size / kInputEventSize;
  events.resize(count);
  for (size_t i = 0; i < count; ++i) {
    if (!DeserializeEvent(data + kInputHeaderSize + kInputEventSize * i, kInputEventSize,
                          events[i])) {
      events.clear();
      return false;
    }
  }
  return true;
}

void SerializeEvent(const InputEvent& event, uint8_t* out16) {
  WriteU32(out16, event.sec);
  WriteU32(out16 + 4, event.usec);
  WriteU16(out16 + 8, event.type);
  WriteU16(out16 + 10, event.code);
  WriteU32(out16 + 12, static_cast<uint32_t>(event.value));
}

std::vector<uint8_t> Serialize(const std::vector<InputEvent>& events, uint8_t packet_type) {
  const size_t count = std::min<size_t>(events.size(), 0xFFFF / kInputEventSize);
  std::vector<uint8_t> out(kInputHeaderSize + kInputEventSize * count);
  out[0] = packet_type;
  out[1] = static_cast<uint8_t>(packet_type ^ 0xFF);
  WriteU16(out.data() + 2, static_cast<uint16_t>(kInputEventSize * count));
  for (size_t i = 0; i < count; ++i)
    SerializeEvent(events[i], out.data() + kInputHeaderSize + kInputEventSize * i);
  return out;
}

std::string ToString(const InputPacketHeader& header) {
  return "packet_type: [" + HexDump(&header.packet_type, 1) + "], invert_packet_type: [" +
         HexDump(&header.invert_packet_type, 1) + "], payload_size: [" +
         std::to_string(header.payload_size) + "]";
}

std::string ToString(const InputEvent& event) {
  return "sec [" + std::to_string(event.sec) + "] , usec [" + std::to_string(event.usec) +
         "] , type [" + std::to_string(event.type) + "] , code [" + std::to_string(event.code) +
         "] , value [" + std::to_string(event.value) + "]";
}

std::string HexDump(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  if (data == nullptr) return out;
  out.reserve(size * 3);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0x0F]);
    out.push_back(' ');
  }
  return out;
}

}  // namespace crcp::ril
