#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "services/remote_input/input_event.h"

namespace crcp::ril {

// The UDP endpoint of the input datagrams. It binds the first free port of a range,
// receives on an I/O thread of its own, decodes each datagram and hands its events to
// the callback on that thread, one datagram at a time.
//
// Only datagrams whose sender is an allowed peer are decoded: the owner allows the
// address of each established session's peer and withdraws it when the session ends.
// With no allowed peer every datagram is dropped.
class InputDataReceiver {
 public:
  using Callback = std::function<void(const std::vector<InputEvent>&)>;

  // The configured default range: ports 7386..7435 (low 16 bits the first port, high
  // 16 bits the last), what the session configuration hands out by default.
  static constexpr uint16_t kDefaultFirstPort = 7386;
  static constexpr uint16_t kDefaultLastPort = 7435;
  static constexpr uint32_t MakePortRange(uint16_t first, uint16_t last) {
    return static_cast<uint32_t>(first) | (static_cast<uint32_t>(last) << 16);
  }
  static constexpr uint32_t kDefaultPortRange =
      static_cast<uint32_t>(kDefaultFirstPort) | (static_cast<uint32_t>(kDefaultLastPort) << 16);

  // `bind_address`: the local IPv4 address to bind; empty means any address.
  // Throws std::system_error ("open") when the socket cannot be opened.
  explicit InputDataReceiver(Callback callback, std::string bind_address = {});
  ~InputDataReceiver();
  InputDataReceiver(const InputDataReceiver&) = delete;
  InputDataReceiver& operator=(const InputDataReceiver&) = delete;

  // Binds the first free port of `range` and starts receiving. False when no port of
  // the range could be bound (or the receiver was stopped); a later call may retry.
  bool Listen(uint32_t range = kDefaultPortRange);
  // The bound port, 0 before a successful Listen; kept after Stop.
  uint16_t GetPort() const;
  // Posts the stop step to the I/O thread and returns at once. Not bound again after.
  void Stop();

  // Peer filter. Allowing is counted, so two sessions from one address need two
  // withdrawals. False when `address` is not an IPv4 address.
  bool AllowPeer(const std::string& address);
  void DisallowPeer(const std::string& address);

  // Receive errors after which another receive can succeed are transient: an ICMP
  // answer to an earlier send, a truncated datagram, a short lack of buffers. Any other
  // (a closed or broken descriptor) would repeat at once, so the loop ends on it; it
  // also ends after 100 transient errors in a row.
  static bool IsFatalReceiveError(const std::error_code& ec);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace crcp::ril
