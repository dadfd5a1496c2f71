#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/receiver/service_handler.h"
#include "tests/receiver/wire_heart_beat.h"
#include "tests/receiver/wire_message_packet.h"

// The receiver's side of the session protocol, as a scriptable test peer and demo.
//
// The receiver listens for the client's control connection, reads its message packets
// strictly (sequence numbers from 1, legal headers, bounded bodies, JSON bodies with an
// unsigned "id"), records everything, and answers according to a script:
//
//   client                                receiver
//   id 0   {"authKey","heartBeatPort",...} ->
//                                         <- id 100 {"heartBeatPort","services","uuid","version_name"}
//   id 4   {<receiver service name>: init context, ...} ->
//                                         <- id 101 {<client service id>: setup context, ...}
//   UDP heart beats every 250 ms, both directions
//   id 1   hello (null)                ->
//                                         <- id 103 (null)
//   id 202 {"message","serviceId"}    <->
//
// A late answer (to race the client's time-out or cancel) is scripted as kSilent and then
// sent by hand: SendMessage(100, BuildHandshakeAnswer()); SetHeartBeatSending(true).
//
// Service names: each offered service has the client's id (listed in "services", the
// key of the launch answer, the "serviceId" of messages this receiver sends) and the
// receiver's own name (the key in the client's launch request and the "serviceId" of
// messages the client sends here).
namespace receiver {

using Milliseconds = std::chrono::milliseconds;

// What the receiver does with a request it is scripted to answer.
enum class Reply {
  kAnswer,  // send the (possibly altered) answer
  kSilent,  // record the request, send nothing
  kClose,   // record the request, close the connection
};

// How one answer (handshake 100 or launch 101) is built from the default good answer.
struct AnswerScript {
  Reply reply = Reply::kAnswer;
  std::optional<uint16_t> answer_id;           // default: 100 or 101
  nlohmann::json set = nlohmann::json::object();  // members added or replaced
  std::vector<std::string> omit;               // members removed (after `set`)
  std::optional<nlohmann::json> content;       // replaces the whole content when present
  // Replaces the whole content with this text, verbatim (see EncodeMessageBodyText);
  // wins over everything above.
  std::optional<std::string> content_text;
};

struct ReceivedMessage {
  int connection = 0;  // 1 for the first accepted connection, 2 for the next, ...
  wire::MessageHeader header;
  uint16_t id = 0;
  nlohmann::json content;
  std::string body;  // the body text exactly as received
};

struct ReceivedHeartBeat {
  std::vector<uint8_t> bytes;
  bool decoded = false;  // exactly 16 bytes
  bool legal = false;
  wire::HeartBeat beat;
  uint16_t from_port = 0;
};

// A fault of the client. Framing faults (illegal or out-of-sequence header, a length
// beyond the bound, a body that is not JSON or has no unsigned "id") close that
// connection; content faults (a malformed handshake request, launch request, hello or
// service message) are recorded and the connection stays up.
struct ProtocolError {
  int connection = 0;
  std::string what;
};

// Everything observable, for logging peers such as the demo program.
struct ReceiverEvent {
  enum class Kind { kAccepted, kMessage, kProtocolError, kClosedByPeer, kClosedHere, kHeartBeat };
  Kind kind = Kind::kMessage;
  int connection = 0;
  std::string text;  // a one-line description
};

class SessionReceiver {
 public:
  struct Options {
    std::string address = "127.0.0.1";
    uint16_t port = 0;             // TCP control port; 0 = ephemeral
    uint16_t heart_beat_port = 0;  // UDP port; 0 = ephemeral
    std::string uuid = "reference-receiver-uuid";
    std::string version_name = "R.5.5.8.41";
    bool auto_heart_beat = true;  // start beating once the handshake was answered
    // Writes the handshake answer's "heartBeatPort" as a JSON double (7390.0), as a
    // receiver whose JSON library keeps every number as a double does.
    bool heart_beat_port_as_double = false;
  };

  SessionReceiver();
  explicit SessionReceiver(Options options);
  ~SessionReceiver();  // Stop()
  SessionReceiver(const SessionReceiver&) = delete;
  SessionReceiver& operator=(const SessionReceiver&) = delete;

  // Binds the TCP and UDP ports and starts the io thread. False when binding failed.
  bool Start();
  // Closes every socket and joins the io thread; wakes every waiter. Idempotent.
  void Stop();

  uint16_t Port() const;
  uint16_t HeartBeatPort() const;

  // --- Script (may be changed at any time; read when the request arrives). ---
  void OfferService(OfferedService service);
  void ClearServices();
  void SetUuid(const std::string& uuid);
  void SetHandshakeScript(AnswerScript script);
  void SetLaunchScript(AnswerScript script);
  void SetAnswerHello(bool answer);
  // While set, a launch request on one connection while another open connection's launch
  // was answered is refused: the request is recorded and its connection closed. The
  // earlier connection stays the receiver's session (the newest connection, and the
  // target of the heart beat, as before the refused one came).
  void SetRefuseSecondLaunch(bool refuse);
  void SetEventObserver(std::function<void(const ReceiverEvent&)> observer);

  // The handshake answer and launch answer the current script would send.
  nlohmann::json BuildHandshakeAnswer() const;

  // --- Control connection. ---
  // Connections are numbered 1, 2, ... in accept order; `connection` 0 (the default)
  // names the newest one.
  bool WaitForConnection(Milliseconds timeout);
  // True once the connection is closed (by either side).
  bool WaitForClosed(Milliseconds timeout, int connection = 0);
  int ConnectionCount() const;
  bool IsConnected() const;  // the newest connection is open
  // Sends a message with the connection's next sequence number. False on no such open
  // connection or a write error. Safe from service handlers (they run on the io thread).
  bool SendMessage(uint16_t id, const nlohmann::json& content, int connection = 0);
  // The same with the content's text written verbatim (EncodeMessageBodyText).
  bool SendMessageText(uint16_t id, const std::string& content_text, int connection = 0);
  // Addressed by the client's service id (e.g. "remote_input.r").
  bool SendServiceMessage(const std::string& client_service_id, const std::string& message,
                          int connection = 0);
  bool SendHello(int connection = 0);
  // Writes bytes unframed; the connection's sequence counter is not touched.
  bool SendRaw(const std::vector<uint8_t>& bytes, int connection = 0);
  // The sequence number the next SendMessage uses (starts at 1 per connection).
  void SetNextSequence(uint32_t sequence, int connection = 0);
  void CloseConnection(int connection = 0);

  // --- Records. ---
  // The `nth` (0-based) message with this id on any connection, waiting up to `timeout`.
  std::optional<ReceivedMessage> WaitForMessage(uint16_t id, Milliseconds timeout, size_t nth = 0);
  std::vector<ReceivedMessage> Messages() const;
  std::optional<ProtocolError> WaitForProtocolError(Milliseconds timeout);
  std::vector<ProtocolError> ProtocolErrors() const;

  // --- Heart beat. ---
  void SetHeartBeatSending(bool sending);
  // The sequence number of the next heart beat sent (starts at 1).
  void SetNextHeartBeat(uint64_t seq_num);
  // Where heart beats go; by default the control peer's address with the handshake's
  // "heartBeatPort".
  void SetHeartBeatTarget(const std::string& address, uint16_t port);
  bool SendHeartBeatDatagram(const std::vector<uint8_t>& bytes);
  // Sends the heart beats from a socket bound to `address` (e.g. 127.0.0.2, a stranger
  // beating for a silent receiver) instead of the receiver's own; empty: the receiver's.
  void SetHeartBeatSource(const std::string& address);
  uint64_t HeartBeatsSent() const;
  // Waits until `count` legal heart beats of the client were received.
  bool WaitForHeartBeats(size_t count, Milliseconds timeout);
  std::vector<ReceivedHeartBeat> HeartBeats() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace receiver
