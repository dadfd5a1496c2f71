#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "crcp/udp_socket.h"

namespace crcp {

// The UDP heart beat of one session. Binds the first free port of the configured
// range (announced in the handshake), sends a datagram every 250 ms to the peer's
// heart-beat port, and watches the peer's datagrams: sequence numbers must grow,
// gaps are counted, and when no acceptable datagram arrives within the configured
// time-out the lose handler runs (on the timer thread, under the heart beat's lock;
// it must only post). Sending goes on until Close.
//
// Sends run on the timer thread, receives on the I/O thread, the rest on the task
// thread; one recursive lock serialises them. At most one receive is outstanding.
// Only datagrams from the peer's address count; any other host's are dropped.
class HeartBeat : public std::enable_shared_from_this<HeartBeat> {
 public:
  static constexpr unsigned kSendIntervalMs = 250;
  // 60 s of heart beats: a datagram further ahead of the last accepted one is ignored.
  static constexpr uint64_t kMaxAdvance = 240;

  // Opens and binds the socket; throws std::system_error when no port of the range
  // can be bound (the handshake then fails).
  HeartBeat();
  ~HeartBeat();
  HeartBeat(const HeartBeat&) = delete;
  HeartBeat& operator=(const HeartBeat&) = delete;

  uint16_t GetPort();
  void SetPeer(const std::string& address, uint16_t port);
  void SetLoseHandler(std::function<void()> handler);
  // Starts sending and receiving; nothing happens while the peer port is 0.
  void Beat();
  // The peer answered a hello: receive again with a fresh keep-alive timer. The next
  // legal datagram is taken as the new base, so a peer whose counter ran far ahead
  // (or restarted) is followed again.
  void Retry();
  void Close();

 private:
  void Listen();
  struct Sender {
    std::string address;
    uint16_t port = 0;
  };

  void Receive();
  bool FromPeer(const std::string& address) const;
  void OnReceive(const std::error_code& error, size_t size, const Sender& from);
  void Send(uint64_t generation);
  void StartHeartBeatTimer();
  void StartKeepAliveTimer();
  void OnKeepAliveTimeout(uint64_t generation);

  std::recursive_mutex mutex_;
  UdpSocket socket_;
  std::string peer_address_;
  uint16_t peer_port_ = 0;
  uint16_t local_port_ = 0;
  std::vector<uint8_t> receive_buffer_;
  std::vector<uint8_t> send_buffer_;
  uint64_t send_timer_ = 0;
  uint64_t keep_alive_timer_ = 0;
  // Each arming gets a number; a callback of a timer that was replaced meanwhile
  // (its expiry raced the cancel) sees a stale number and does nothing.
  uint64_t send_generation_ = 0;
  uint64_t keep_alive_generation_ = 0;
  std::function<void()> lose_handler_;  // empty: closed
  uint64_t last_received_ = 0;
  uint32_t send_counter_ = 1;
  bool receiving_ = false;
  bool receive_after_abort_ = false;
  bool rebase_ = false;
  uint64_t stranger_beats_ = 0;  // datagrams dropped because another host sent them
};

}  // namespace crcp
