#include "crcp/message_packet.h"

#include <algorithm>
#include <cstring>

#include "crcp/byte_order.h"
#include "crcp/hex_dump.h"
#include "crcp/runtime.h"
#include "crcp/version.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::message_packet";

// Versions whose headers carry a checked inverted sequence number.
bool IsCheckedVersion(uint32_t version) {
  return version == GetProtocolVersion() || version == 503 || version == 504 ||
         version == 505;
}
}  // namespace

MessagePacket::MessagePacket()
    : timestamp(NowMs()), version(GetProtocolVersion()), invert_seq_num(0xFFFFFFFFu) {}

MessagePacket::MessagePacket(uint32_t seq, std::vector<uint8_t>&& data)
    : sequence_num(seq),
      len(static_cast<uint32_t>(data.size())),
      timestamp(NowMs()),
      version(GetProtocolVersion()),
      invert_seq_num(~seq),
      body(std::move(data)) {}

bool MessagePacket::IsLegalHeader(const MessagePacket& p) {
  if (IsCheckedVersion(p.version)) return p.sequence_num == static_cast<uint32_t>(~p.invert_seq_num);
  return p.timestamp != 0 && p.sequence_num != 0 && p.len != 0;
}

bool MessagePacket::IsLegal(const MessagePacket& p) {
  return IsLegalHeader(p) && p.body.size() == p.len;
}

std::string MessagePacket::ToString(const MessagePacket& p) {
  return fmt::format(
      "sequence_num: [{}], len: [{}], timestamp: [{}], version: [{}], invert_seq_num: [{}]",
      p.sequence_num, p.len, p.timestamp, p.version, p.invert_seq_num);
}

std::vector<uint8_t> MessagePacket::Serialize(const MessagePacket& p) {
  if (!IsLegal(p)) {
    LOG_ERROR("Cannot serialize a illegal message packet, packet: {}",
              ToString(p) + " , data size [" + std::to_string(p.body.size()) + "]");
    return {};
  }
  std::vector<uint8_t> out(kHeaderSize + p.len, 0);
  PutBe32(&out[0], p.sequence_num);
  PutBe32(&out[4], p.len);
  PutBe64(&out[8], p.timestamp);
  PutBe32(&out[16], p.version);
  PutBe32(&out[20], p.invert_seq_num);
  // Reserved bytes 24..63 stay zero.
  std::copy(p.body.begin(), p.body.end(), out.begin() + kHeaderSize);
  return out;
}

bool MessagePacket::Deserialize(const uint8_t* data, size_t size, MessagePacket& out) {
  if (data == nullptr || size < kHeaderSize) {
    LOG_ERROR("Cannot deserialize the buffer as a message packet header: {}",
              HexDump(data, size));
    return false;
  }
  out.sequence_num = GetBe32(data);
  out.len = GetBe32(data + 4);
  out.timestamp = GetBe64(data + 8);
  out.version = GetBe32(data + 16);
  out.invert_seq_num = GetBe32(data + 20);
  std::memcpy(out.reserved.data(), data + 24, out.reserved.size());
  if (!IsLegalHeader(out)) {
    LOG_ERROR("Received a illegal message packet header: {}", ToString(out));
    return false;
  }
  return true;
}

}  // namespace crcp
