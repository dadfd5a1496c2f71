#pragma once

#include <functional>
#include <string>

namespace crcp {

// Sends `message` to the peer of session `session_id` as a service message addressed
// to the peer's service `service_id`. Installed in every service by the service
// registry; may be called from any thread.
using MessageSender = std::function<void(const std::string& session_id,
                                         const std::string& service_id,
                                         const std::string& message)>;

}  // namespace crcp
