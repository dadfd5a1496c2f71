#pragma once

#include <mutex>
#include <string>

namespace crcp {

// Holds the authentication key sent as "authKey" in the handshake. The owner sets it
// from its thread; the handshake reads it on the task thread.
class AuthManager {
 public:
  AuthManager();
  std::string GetAuthKey() const;
  void SetAuthKey(const std::string& key);

 private:
  mutable std::mutex mutex_;
  std::string key_;
};

}  // namespace crcp
