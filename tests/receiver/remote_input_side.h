#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <nlohmann/json.hpp>

#include "tests/receiver/service_handler.h"
#include "tests/receiver/wire_input_event.h"

namespace receiver {

class SessionReceiver;

// The receiver's side of remote input. The client offers "remote_input.r" with the init
// context {"data_port":N,"version":"R.4.3.5.17"}; the two sides then exchange control
// messages inside service messages, the text a JSON object:
//
//   id 0      start request    both ways          {"id":0}
//   id 2      stop request     both ways          {"id":2}
//   id 100    start response   receiver's: {"id":100,"content":{"result":bool}}
//                              client's:   {"id":100}, or the same form as the
//                              receiver's (the client's refusal: "result" false)
//   id 102    stop response    {"id":102}
//   id 65535  error            receiver to client {"id":65535,"content":{"code":N}}
//
// The client sends nothing but {"id":N} with N one of 0, 2, 100, 102, and the start
// response with its "result"; anything else is recorded as a fault. Input events go as UDP datagrams (wire_input_event.h) to the
// client's data port, from a socket bound to `source_address`.
class RemoteInputSide : public ServiceHandler {
 public:
  struct Options {
    std::string target_address = "127.0.0.1";  // the client's address
    std::string source_address = "127.0.0.1";  // where the datagrams come from
    std::string setup_context = "{}";          // the launch answer's value
    // The answer to the client's start request: true or false in "result", or none.
    std::optional<bool> accept_start = true;
  };

  struct ControlRecord {
    int connection = 0;
    std::string text;
    uint16_t id = 0;
  };

  RemoteInputSide(SessionReceiver* receiver, Options options);
  ~RemoteInputSide() override;

  // The service as the receiver offers it.
  static OfferedService Offer(std::shared_ptr<RemoteInputSide> side);

  std::optional<std::string> OnLaunch(int connection, const std::string& init_context) override;
  void OnServiceMessage(int connection, const std::string& message) override;

  void SetAcceptStart(std::optional<bool> accept);

  // Control messages to the client (connection 0: the newest).
  bool SendControl(uint16_t id, const nlohmann::json& content = nullptr, int connection = 0);
  bool RequestStart(int connection = 0) { return SendControl(0, nullptr, connection); }
  bool RequestStop(int connection = 0) { return SendControl(2, nullptr, connection); }
  bool SendError(int code, int connection = 0) {
    return SendControl(65535, {{"code", code}}, connection);
  }
  // A start request followed at once by a packet out of sequence: the client drops the
  // session while its control session is still answering the start.
  bool RequestStartThenBreakSequence(int connection = 0);

  // Input events to the data port the client announced on `connection`.
  bool SendInputEvents(const std::vector<wire::TouchEvent>& events, int connection = 0);
  bool SendDatagram(const std::vector<uint8_t>& bytes, int connection = 0);

  // The data port announced by the launch of `connection` (0: the newest launch).
  std::optional<uint16_t> DataPort(int connection = 0) const;
  std::optional<nlohmann::json> InitContext(int connection = 0) const;
  bool WaitForLaunch(std::chrono::milliseconds timeout);
  // The `nth` (0-based) control message with `id` from the client.
  std::optional<ControlRecord> WaitForControl(uint16_t id, std::chrono::milliseconds timeout,
                                              size_t nth = 0);
  std::vector<ControlRecord> Controls() const;
  std::vector<std::string> Faults() const;

 private:
  void Fault(const std::string& what);

  SessionReceiver* const receiver_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  Options options_;
  std::map<int, nlohmann::json> init_contexts_;
  int last_launch_ = 0;
  std::vector<ControlRecord> controls_;
  std::vector<std::string> faults_;

  std::mutex socket_mutex_;
  asio::io_context io_;  // never run: the datagram socket is used synchronously
  std::unique_ptr<asio::ip::udp::socket> socket_;
};

}  // namespace receiver
