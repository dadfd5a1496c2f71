#pragma once

#include <memory>
#include <optional>
#include <string>

// The hook through which the receiver's service sides (video, audio, remote input,
// device info) plug into the session protocol side of the reference receiver.
namespace receiver {

// The receiver's side of one service. Callbacks run on the receiver's io thread; they
// may call the receiver's Send* methods, but never Stop.
class ServiceHandler {
 public:
  virtual ~ServiceHandler() = default;
  // The client's launch request named this service with `init_context`. Returns the
  // setup context for the launch answer, or nothing to leave the service out of it.
  virtual std::optional<std::string> OnLaunch(int connection, const std::string& init_context) = 0;
  // A service message addressed to this service's receiver-side name.
  virtual void OnServiceMessage(int connection, const std::string& message) = 0;
  // The control connection that launched the service has closed.
  virtual void OnConnectionClosed(int connection) {}
};

struct OfferedService {
  std::string client_service_id;    // e.g. "video_mirror.c"
  std::string receiver_service_id;  // e.g. "video_mirror.s"
  std::string setup_context;        // launch answer value when there is no handler
  std::shared_ptr<ServiceHandler> handler;
};

}  // namespace receiver
