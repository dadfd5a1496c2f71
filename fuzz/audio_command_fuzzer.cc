// Plays the receiver on the audio command link: the input is a list of commands (see
// command_stream.h) sent to a command session that, depending on the first byte, has a
// sender (of a source that stays silent) and has asked for a start and waits for the
// answer. Every body is read by the session: the
// start answer, the receiver's start and stop, the stop answer and the unknown ones.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>
#include <vector>

#include "crcp/config.h"
#include "fuzz/command_stream.h"
#include "fuzz/loopback_peer.h"
#include "fuzz/once_signal.h"
#include "services/audio/audio_sender.h"
#include "services/audio/client_command_session.h"
#include "services/audio/client_listener.h"
#include "services/audio/packet_type.h"
#include "services/audio/source/i_audio_source.h"
#include "utils/logger.h"

namespace {

using namespace crcp::audio;

// A start answer with this result ends every input: once the listener hears it, the
// session has handled every packet before it (one worker, in order).
constexpr int kEndMark = -424242;

// Never delivers a packet: the sender's loops start and stop, nothing is sent.
class SilentSource : public audiosource::IAudioSource {
 public:
  void Start() override {}
  void Stop() override {}
  void SetSink(Sink) override {}
  uint32_t GetSampleRate() override { return 48000; }
  uint32_t GetChannelCount() override { return 2; }
  uint32_t GetFrameCountPerPacket() override { return 1920; }
  void SetMuteLocalOutput(bool) override {}
};

class Listener : public ClientListener {
 public:
  void OnError(int code) override {
    if (code == kEndMark) ended_.Set();
  }
  void OnPlay() override {}
  void OnTeardown() override {}
  std::future<void> Ended() { return ended_.Future(); }

 private:
  fuzz::OnceSignal ended_;
};

}  // namespace

// The session logs every rejected body; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  auto stream = fuzz::FrameCommands(data + 1, size - 1,
                                    {kStartResponse, kStopResponse, kReceiverStart, kReceiverStop});
  const std::string end = "{\"resultType\":" + std::to_string(kEndMark) + "}";
  const auto mark = crcp::video::SerializeVideoPacket(
      kStartResponse, 0, reinterpret_cast<const uint8_t*>(end.data()), end.size());
  stream.insert(stream.end(), mark.begin(), mark.end());

  auto listener = std::make_shared<Listener>();
  auto ended = listener->Ended();
  {
    ClientCommandSession session;
    session.SetListener(listener);
    session.SetCodec("OPUS");
    session.SetAudioFormat(48000, 2, 960);
    session.SetSendCount(data[0] & 3);
    if (data[0] & 8) {
      auto sender = std::make_shared<AudioSender>(std::make_shared<SilentSource>());
      sender->Connect({9, fuzz::LoopbackPeer::kAddress});  // discard port; nothing is sent
      session.SetSender(sender);
    }
    auto& peer = fuzz::LoopbackPeer::Instance();
    if (session.Connect(fuzz::LoopbackPeer::kAddress, peer.Port()) != 0) std::abort();
    const int socket = peer.Accept();
    if (data[0] & 4) session.SetupMirrorStart(data[0] >> 4);
    fuzz::LoopbackPeer::Write(socket, stream.data(), stream.size());
    ended.wait_for(std::chrono::seconds(2));
    fuzz::LoopbackPeer::Reset(socket);
  }
  return 0;
}
