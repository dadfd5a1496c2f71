// Feeds arbitrary bytes as the stream of a media-packet link (the video command and
// data links, or the audio command link: the first byte picks which) and checks every
// packet the reader hands on against the header it came with. The 16-byte header
// parser is fed the same bytes directly.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>

#include "crcp/config.h"
#include "fuzz/loopback_peer.h"
#include "fuzz/once_signal.h"
#include "services/audio/connection.h"
#include "services/media_link/connection.h"
#include "services/media_link/video_packet.h"
#include "utils/logger.h"

namespace {

class Listener : public crcp::video::Connection::Listener {
 public:
  explicit Listener(uint32_t max_body) : max_body_(max_body) {}
  void OnPacket(std::shared_ptr<crcp::video::VideoPacket> packet) override {
    if (!packet || !packet->IsComplete() || packet->length > max_body_) std::abort();
  }
  void OnError() override { finished_.Set(); }
  void OnDisconnect() override { finished_.Set(); }
  std::future<void> Finished() { return finished_.Future(); }

 private:
  const uint32_t max_body_;
  fuzz::OnceSignal finished_;
};

}  // namespace

// The readers log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  crcp::video::VideoPacket header;
  if (crcp::video::ParseVideoPacketHeader(data + 1, size - 1, &header)) {
    uint8_t back[crcp::video::kVideoPacketHeaderSize];
    crcp::video::WriteVideoPacketHeader(header.type, header.length, header.stamp, back);
    if (std::memcmp(back, data + 1, sizeof back) != 0) std::abort();
  }

  const bool audio = data[0] & 1;
  std::unique_ptr<crcp::video::Connection> link;
  if (audio) {
    link = std::make_unique<crcp::audio::Connection>();
  } else {
    link = std::make_unique<crcp::video::Connection>();
  }
  auto listener = std::make_shared<Listener>(audio ? crcp::video::kAudioMaxBodyLength
                                                   : crcp::video::kVideoMaxBodyLength);
  auto finished = listener->Finished();
  link->SetListener(listener);
  auto& peer = fuzz::LoopbackPeer::Instance();
  if (link->Connect(fuzz::LoopbackPeer::kAddress, peer.Port()) != 0) std::abort();
  const int socket = peer.Accept();
  fuzz::LoopbackPeer::Write(socket, data + 1, size - 1);
  fuzz::LoopbackPeer::Reset(socket);
  // The reader ends on an illegal packet or on the reset, after everything before it.
  finished.wait_for(std::chrono::seconds(2));
  link->Disconnect();
  return 0;
}
