#pragma once

#include <cstdint>
#include <functional>

namespace crcp::video {

// What the command session drives of a session's video sender (the provider and the
// TCP sender behind it): the receiver's answers start, pause, stop and resize it.
class IVideoSender {
 public:
  // Link statistics as the provider reports congestion: (score, bandwidth, rto, rtt).
  using TcpInfoCallback =
      std::function<void(uint32_t score, uint32_t bandwidth, uint32_t rto, uint32_t rtt)>;

  virtual ~IVideoSender() = default;
  virtual void ChangeResolution(uint16_t width, uint16_t height) = 0;
  virtual void StartSender() = 0;
  virtual void StopSender() = 0;
  // Stops the provider; the TCP sender then runs dry and stops itself.
  virtual void Pause() = 0;
  virtual void RequestKeyFrame() = 0;
  // Replaces the callback; an empty one removes it. It may be called while the
  // provider's monitor thread runs, so the sender guards the callback it calls.
  virtual void SetTcpInfoCallback(TcpInfoCallback callback) = 0;
};

}  // namespace crcp::video
