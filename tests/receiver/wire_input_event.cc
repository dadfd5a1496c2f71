#include "tests/receiver/wire_input_event.h"

#include <fmt/format.h>

namespace receiver::wire {

namespace {

void PutBe16(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
}

void PutBe32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t GetBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

std::optional<std::vector<uint8_t>> EncodeInputDatagram(const std::vector<TouchEvent>& events,
                                                        uint8_t packet_type) {
  if (events.size() > kMaxInputEventsPerDatagram) return std::nullopt;
  std::vector<uint8_t> out(kInputHeaderSize + kInputEventSize * events.size());
  out[0] = packet_type;
  out[1] = static_cast<uint8_t>(~packet_type);
  PutBe16(&out[2], static_cast<uint16_t>(kInputEventSize * events.size()));
  uint8_t* at = out.data() + kInputHeaderSize;
  for (const auto& e : events) {
    PutBe32(at, e.sec);
    PutBe32(at + 4, e.usec);
    PutBe16(at + 8, e.type);
    PutBe16(at + 10, e.code);
    PutBe32(at + 12, static_cast<uint32_t>(e.value));
    at += kInputEventSize;
  }
  return out;
}

std::optional<std::vector<TouchEvent>> DecodeInputDatagram(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kInputHeaderSize) return std::nullopt;
  if (static_cast<uint8_t>(data[0] ^ data[1]) != 0xFF || data[0] > 1) return std::nullopt;
  const size_t payload = GetBe16(data + 2);
  if (size < kInputHeaderSize + payload) return std::nullopt;
  std::vector<TouchEvent> events(payload / kInputEventSize);
  const uint8_t* at = data + kInputHeaderSize;
  for (auto& e : events) {
    e.sec = GetBe32(at);
    e.usec = GetBe32(at + 4);
    e.type = GetBe16(at + 8);
    e.code = GetBe16(at + 10);
    e.value = static_cast<int32_t>(GetBe32(at + 12));
    if (e.sec == 0) return std::nullopt;
    at += kInputEventSize;
  }
  return events;
}

std::vector<TouchEvent> TouchFrame(const std::vector<Contact>& contacts, uint32_t sec,
                                   uint32_t usec) {
  std::vector<TouchEvent> events;
  auto add = [&](uint16_t type, uint16_t code, int32_t value) {
    events.push_back({sec, usec, type, code, value});
  };
  for (const auto& c : contacts) {
    add(input::kEvAbs, input::kAbsMtSlot, c.slot);
    add(input::kEvAbs, input::kAbsMtTrackingId, c.tracking_id);
    if (c.tracking_id >= 0) {
      add(input::kEvAbs, input::kAbsMtPositionX, c.x);
      add(input::kEvAbs, input::kAbsMtPositionY, c.y);
    }
  }
  add(input::kEvSyn, input::kSynReport, 0);
  return events;
}

std::string ToString(const TouchEvent& e) {
  return fmt::format("{}.{:06} type {} code {} value {}", e.sec, e.usec, e.type, e.code, e.value);
}

}  // namespace receiver::wire
