#include "tests/receiver/wire_heart_beat.h"

#include <fmt/format.h>

#include "tests/receiver/wire_bytes.h"

namespace receiver::wire {

HeartBeat MakeHeartBeat(uint64_t seq_num) {
  HeartBeat beat;
  beat.seq_num = seq_num;
  beat.invert_seq_num = ~static_cast<uint32_t>(seq_num);
  beat.version = 5;
  return beat;
}

std::array<uint8_t, kHeartBeatSize> EncodeHeartBeat(const HeartBeat& beat) {
  std::array<uint8_t, kHeartBeatSize> out{};
  PutBe64(out.data(), beat.seq_num);
  PutBe32(out.data() + 8, beat.invert_seq_num);
  PutLe32(out.data() + 12, beat.version);
  return out;
}

bool DecodeHeartBeat(const uint8_t* data, size_t size, HeartBeat* out) {
  if (data == nullptr || out == nullptr || size != kHeartBeatSize) return false;
  out->seq_num = GetBe64(data);
  out->invert_seq_num = GetBe32(data + 8);
  out->version = GetLe32(data + 12);
  return true;
}

bool IsLegalHeartBeat(const HeartBeat& beat) {
  switch (beat.version) {
    case 5:
    case 503:
    case 504:
    case 505:
      return static_cast<uint32_t>(beat.seq_num) == ~beat.invert_seq_num;
    default:
      return beat.version != 0 && beat.invert_seq_num == 0;
  }
}

std::string ToString(const HeartBeat& beat) {
  return fmt::format("seq_num: [{}], invert_seq_num: [{}], version: [{}]", beat.seq_num,
                     beat.invert_seq_num, beat.version);
}

}  // namespace receiver::wire
