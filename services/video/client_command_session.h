#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/media_link/connection_options.h"
#include "services/video/i_video_sender.h"
#include "services/video/mirror_sender_session.h"

namespace crcp::video {

// Command ids, carried in the low 16 bits of the packet type. A reply to a
// receiver's command carries the request's id shifted left by 8.
enum VideoCommand : uint16_t {
  kCommandStart = 0x1,            // {"codec", "displayMode"}
  kCommandPause = 0x2,            // empty body
  kCommandStop = 0x3,             // empty body
  kCommandKeepAspectRatio = 0x4,  // {"keepAspectRatio"}
  kCommandLinkStatistics = 0x5,   // {"bandwidth", "rto", "rtt", "score"}
  kCommandReceiverStart = 0x51,   // {"displayMode"}
  kCommandReceiverPause = 0x52,
  kCommandReceiverStop = 0x53,
  kCommandResolutionChange = 0x54,  // {"screenWidth", "screenHeight"}
  kCommandKeyFrameRequest = 0x55,
  kCommandStartAnswer = 0x100,  // {"resultType", "screenWidth", "screenHeight"}
  kCommandPauseAnswer = 0x200,
  kCommandStopAnswer = 0x300,
  kCommandReceiverStartReply = 0x5100,  // {"resultType"}, as are the three below
  kCommandReceiverPauseReply = 0x5200,
  kCommandReceiverStopReply = 0x5300,
  kCommandResolutionChangeReply = 0x5400,
};

constexpr uint16_t ReplyId(uint16_t request) { return static_cast<uint16_t>(request << 8); }

// Codes sent in replies and given to the listener's OnError. A non-zero resultType
// of the receiver's answer to start is passed through as it is.
enum VideoCommandResult : int {
  kResultOk = 0,
  kResultParseError = -1600,      // unparsable body, missing member or value out of range
  kResultZeroSize = -1400,        // zero width or height
  kResultIllegalMode = -1300,     // negative display mode
  kResultStartRefused = -1500,    // the start check refused the session
  kResultNotPlaying = -1201,      // pause while not playing
  kResultNotStarted = -1301,      // stop while stopped or waiting for the start answer
  kResultNoSender = -1700,        // a start answer while no video sender is set
  kResultLinkLost = -3,           // the command connection failed
  // A data write failed and the session's sender stopped (reported by the session,
  // not by the command dialogue).
  kResultDataWriteFailed = -6008,
};

// Session status.
enum VideoCommandStatus : int {
  kStatusPlaying = 0,
  kStatusPaused = 1,
  kStatusStopped = 2,
  kStatusStartSent = 3,
};

// One video mirror session's command dialogue with the receiver over the command
// connection: sends start, pause, stop, aspect-ratio and link-statistics commands,
// answers the receiver's start, pause, stop and resolution commands, applies the
// receiver's answers to the video sender and reports to the session listener.
// Received commands are handled one at a time on the session's own worker thread;
// the Setup* operations run on the caller's thread. Both are serialised by one lock,
// and the listener is called after that lock is released.
class ClientCommandSession {
 public:
  // Consulted on the receiver's start command; empty: every start is allowed.
  using StartCheck = std::function<bool(const std::string& session_id)>;

  explicit ClientCommandSession(StartCheck start_check = StartCheck(),
                                ConnectionOptions options = ConnectionOptions());
  ~ClientCommandSession();

  ClientCommandSession(const ClientCommandSession&) = delete;
  ClientCommandSession& operator=(const ClientCommandSession&) = delete;

  // The command connection's Connect result: 0, or the socket error's value.
  int Connect(const std::string& address, uint16_t port);

  void SetListener(std::shared_ptr<MirrorSenderSession::Listener> listener);
  void SetSessionId(const std::string& session_id);
  void SetCodecName(const std::string& codec);
  // Also installs OnTcpInfoNotify as the sender's link-statistics callback.
  void SetVideoSender(std::shared_ptr<IVideoSender> sender);

  // Each returns whether its command went out on the connection. A stop while the
  // start's answer is due calls the start off: nothing is sent then, and the next start
  // goes out without waiting for the answer. An answer counts only while a start waits
  // for one: the first accepting answer then plays, whichever start it answers. At any
  // other time an answer starts nothing (an accepting one that may answer a called-off
  // start is followed by a stop at once).
  bool SetupMirrorStart(int display_mode);
  bool SetupMirrorPause();
  bool SetupMirrorStop();
  bool SendKeepAspectRatio(bool keep);

  // Command 5; called on the video provider's monitor thread.
  void OnTcpInfoNotify(uint32_t score, uint32_t bandwidth, uint32_t rto, uint32_t rtt);

  // The serialised packet for (id, body); see SendPacket in command_sender.h.
  std::vector<uint8_t> SendPacket(uint16_t id, const std::string& body) const;

  VideoCommandStatus GetStatus() const;

  class ClientCommandSessionImpl;

 private:
  std::unique_ptr<ClientCommandSessionImpl> impl_;
};

}  // namespace crcp::video
