// Plays the receiver on a video command link: the input is a list of commands (see
// command_stream.h) sent to a command session that has, depending on the first byte,
// a video sender and a start of its own waiting for the receiver's answer. Every body
// is read by the session: the start answer, the receiver's start, pause, stop and
// resolution commands and the unknown ones.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>

#include "fuzz/command_stream.h"
#include "fuzz/loopback_peer.h"
#include "fuzz/once_signal.h"
#include "services/video/client_command_session.h"
#include "utils/logger.h"

namespace {

using namespace crcp::video;

class NullSender : public IVideoSender {
 public:
  void ChangeResolution(uint16_t width, uint16_t height) override {
    if (width == 0 || height == 0) std::abort();  // the session refuses a zero size
  }
  void StartSender() override {}
  void StopSender() override {}
  void Pause() override {}
  void RequestKeyFrame() override {}
  void SetTcpInfoCallback(TcpInfoCallback) override {}
};

// Tells when the session has seen the link fail: every packet before it is handled.
class Listener : public MirrorSenderSession::Listener {
 public:
  void OnError(int code) override {
    if (code == kResultLinkLost) lost_.Set();
  }
  void OnPlay() override {}
  void OnPause() override {}
  void OnTeardown() override {}
  std::future<void> Lost() { return lost_.Future(); }

 private:
  fuzz::OnceSignal lost_;
};

}  // namespace

// The session logs every rejected body; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const auto stream = fuzz::FrameCommands(
      data + 1, size - 1,
      {kCommandStartAnswer, kCommandReceiverStart, kCommandReceiverPause, kCommandReceiverStop,
       kCommandResolutionChange, kCommandKeyFrameRequest, kCommandPauseAnswer,
       kCommandStopAnswer});

  auto listener = std::make_shared<Listener>();
  auto lost = listener->Lost();
  {
    ClientCommandSession session([flags = data[0]](const std::string&) { return !(flags & 4); });
    session.SetListener(listener);
    session.SetSessionId("fuzz");
    session.SetCodecName("H264");
    if (data[0] & 1) session.SetVideoSender(std::make_shared<NullSender>());
    auto& peer = fuzz::LoopbackPeer::Instance();
    if (session.Connect(fuzz::LoopbackPeer::kAddress, peer.Port()) != 0) std::abort();
    const int socket = peer.Accept();
    if (data[0] & 2) session.SetupMirrorStart(data[0] >> 4);
    fuzz::LoopbackPeer::Write(socket, stream.data(), stream.size());
    fuzz::LoopbackPeer::Reset(socket);
    lost.wait_for(std::chrono::seconds(2));
  }
  return 0;
}
