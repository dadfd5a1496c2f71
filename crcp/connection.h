#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "crcp/message_packet.h"

namespace crcp {

class TcpSocket;

// Session-protocol messages over one connected TCP socket. A message is a u16 id and
// a JSON content, sent as a message packet whose body is {"id": .., "content": ..}.
// Sequence numbers start at 1 in both directions; the reader requires exactly that
// order.
//
// Receiving is one message per ReadMessage: the connection reads a header and a
// body on the I/O thread, checks and parses them, and calls one of the two handlers
// once. Receive failures go to the error handler with a local code, never through the
// message path, so a peer cannot forge them:
//   -3  a header or body read failed (socket closed)
//   -8  an illegal header (socket left open, nothing more read), a header out of
//       sequence or with a body longer than kMaxBodySize (socket closed)
//   -9  a body that is not a JSON object with an integral "id" in 0..65535
//
// Sends may come from any thread (the task thread and the services' own threads);
// they are serialised so that numbering and bytes never interleave.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using MessageHandler = std::function<void(uint16_t id, const nlohmann::json& content)>;
  using ErrorHandler = std::function<void(int code)>;

  static constexpr uint32_t kMaxBodySize = 16u * 1024 * 1024;
  static constexpr int kReadFailed = -3;
  static constexpr int kIllegalPacket = -8;
  static constexpr int kBadBody = -9;

  explicit Connection(std::shared_ptr<TcpSocket> socket);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void ReadMessage(MessageHandler on_message, ErrorHandler on_error);
  // Blocks until the bytes are written. Without a socket: connection reset, nothing
  // numbered. A message that cannot be framed: invalid argument, nothing numbered.
  std::error_code SendMessage(uint16_t id, const nlohmann::json& content);
  // Closes the socket; a pending read is dropped and nothing more is delivered.
  void Close();
  // The peer's address, kept from the moment the connection was made.
  std::string GetRemoteAddress() const;

  // The packet bytes of `message` (compact JSON; invalid UTF-8 is replaced, so this
  // never throws). Empty when the packet cannot be built.
  static std::vector<uint8_t> SerializeMessage(uint32_t seq, const nlohmann::json& message);

 private:
  std::shared_ptr<TcpSocket> Socket() const;
  void CloseSocket();
  void OnReadPacketHeaderDone(const std::error_code& error);
  void OnReadPacketDataDone(const std::error_code& error);
  void ParseMessage(const std::string& body);
  void DeliverMessage(uint16_t id, const nlohmann::json& content);
  void DeliverError(int code);

  // Read side: touched by ReadMessage and then only by the I/O thread's completions.
  std::vector<uint8_t> header_buffer_;
  MessagePacket current_;
  uint64_t expected_sequence_ = 1;

  std::mutex handler_mutex_;
  MessageHandler on_message_;
  ErrorHandler on_error_;

  std::mutex send_mutex_;  // held for the whole numbering and write of one message
  uint64_t send_counter_ = 0;

  mutable std::mutex socket_mutex_;
  std::shared_ptr<TcpSocket> socket_;
  std::string remote_address_;
};

}  // namespace crcp
