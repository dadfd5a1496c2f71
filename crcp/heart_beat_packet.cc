#include "crcp/heart_beat_packet.h"

#include "crcp/byte_order.h"
#include "crcp/hex_dump.h"
#include "crcp/version.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::heart_beat_packet";

bool IsCheckedVersion(uint32_t version) {
  return version == GetProtocolVersion() || version == 503 || version == 504 ||
         version == 505;
}
}  // namespace

HeartBeatPacket::HeartBeatPacket(uint64_t seq)
    : seq_num(seq),
      invert_seq_num(~static_cast<uint32_t>(seq)),
      version(GetProtocolVersion()) {}

bool HeartBeatPacket::IsLegal(const HeartBeatPacket& p) {
  if (IsCheckedVersion(p.version))
    return static_cast<uint32_t>(p.seq_num) == static_cast<uint32_t>(~p.invert_seq_num);
  return p.version != 0 && p.invert_seq_num == 0;
}

std::string HeartBeatPacket::ToString(const HeartBeatPacket& p) {
  return fmt::format("seq_num: [{}], invert_seq_num: [{}], version: [{}]", p.seq_num,
                     p.invert_seq_num, p.version);
}

std::vector<uint8_t> HeartBeatPacket::Serialize(const HeartBeatPacket& p) {
  if (!IsLegal(p)) {
    LOG_ERROR("Cannot serialize a illegal heart beat packet");
    return {};
  }
  std::vector<uint8_t> out(kSize, 0);
  PutBe64(&out[0], p.seq_num);
  PutBe32(&out[8], p.invert_seq_num);
  for (int i = 0; i < 4; ++i) out[12 + i] = static_cast<uint8_t>(p.version >> (8 * i));
  return out;
}

bool HeartBeatPacket::Deserialize(const uint8_t* data, size_t size, HeartBeatPacket& out) {
  if (data == nullptr || size < kSize) {
    LOG_ERROR_LIMITED("Cannot deserialize the buffer as a heart beat packet: {}",
                      HexDump(data, size));
    return false;
  }
  if (size > kSize) {
    LOG_WARN_LIMITED("Received packet size is {}, expect size is {}: {}", size, kSize,
                     HexDump(data, kSize));
    return false;
  }
  out.seq_num = GetBe64(data);
  out.invert_seq_num = GetBe32(data + 8);
  out.version = 0;
  for (int i = 0; i < 4; ++i) out.version |= static_cast<uint32_t>(data[12 + i]) << (8 * i);
  if (!IsLegal(out)) {
    LOG_TRACE_LIMITED("Received illegal heart beat: {}", ToString(out));
    return false;
  }
  return true;
}

}  // namespace crcp
