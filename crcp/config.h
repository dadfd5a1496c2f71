#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace crcp {

// The process-wide settings of the session protocol. Created on first use, lives
// until exit. Every accessor may be called from any thread.
class Config {
 public:
  static Config& Instance();

  // The UDP port range (first, last): (7386, 7435) unless set otherwise. The heart
  // beat binds the first free port of it; the remote-input service takes its data
  // port from it.
  std::pair<uint16_t, uint16_t> GetPorts() const;
  // Replaces the range (first <= last). Lets an owner, or a test, use its own ports.
  void SetPorts(uint16_t first, uint16_t last);

  std::string GetUuid() const;
  void SetUuid(const std::string& uuid);

  // Local address TCP and UDP sockets bind to; empty means any address.
  std::string GetBindAddress() const;
  void SetBindAddress(const std::string& address);

  // Keep-alive time-out of the heart beat in ms (2000 until the owner sets 15000 or
  // 30000); a new value takes effect when the keep-alive timer is armed next.
  int GetHeartBeatTimeout() const;
  void SetHeartBeatTimeout(int milliseconds);

  const char* GetDefaultAuthKey() const { return default_auth_key_; }
  // Assumed when the peer's handshake answer carries no "version_name".
  const char* GetPeerVersionPlaceholder() const { return peer_version_placeholder_; }

 private:
  Config() = default;

  // port_low in the low half, port_high in the high half. A range with both halves
  // set starts four above port_low: 7382 + 4 = 7386, just above the connection-code
  // ports 7382..7385.
  std::atomic<uint32_t> ports_{7382u | (7435u << 16)};
  std::atomic<uint64_t> port_override_{0};  // bit 32 set: (first | last << 16) used as is
  mutable std::mutex mutex_;
  std::string uuid_;
  std::string bind_address_;
  std::atomic<int> heart_beat_timeout_{2000};
  const char* default_auth_key_ = "QORVEL";
  const char* peer_version_placeholder_ = "U.0.0.0.0";
};

}  // namespace crcp
