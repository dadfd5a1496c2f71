#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace crcp::video::testing {

// The receiver's end of one media-packet link in tests: a blocking POSIX listener on
// 127.0.0.1 with an ephemeral port. Every wait is bounded (5 s by default), so a
// missing packet fails the test instead of hanging it.
class LoopbackPeer {
 public:
  // backlog: 0 plus FillBacklog() makes further connects hang (the connect deadline).
  explicit LoopbackPeer(int backlog = 4);
  ~LoopbackPeer();

  uint16_t port() const { return port_; }

  bool Accept(int timeout_ms = 5000);
  // Opens client connections nobody accepts, until the accept queue is full.
  void FillBacklog();

  bool Write(const std::vector<uint8_t>& bytes);
  bool WritePacket(uint32_t type, const std::string& body, uint64_t stamp = 0);
  // Reads exactly `size` bytes.
  std::optional<std::vector<uint8_t>> Read(size_t size, int timeout_ms = 5000);

  struct Packet {
    uint32_t type = 0;
    uint64_t stamp = 0;
    std::string body;
  };
  std::optional<Packet> ReadPacket(int timeout_ms = 5000);
  // True when nothing arrives within `timeout_ms` (used only to check silence after
  // a later packet already proved ordering).
  bool NothingPending(int timeout_ms);

  void CloseConnection();

 private:
  int listen_fd_ = -1;
  int conn_fd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace crcp::video::testing
