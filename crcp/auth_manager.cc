#include "crcp/auth_manager.h"

#include "crcp/config.h"

namespace crcp {

AuthManager::AuthManager() : key_(Config::Instance().GetDefaultAuthKey()) {}

std::string AuthManager::GetAuthKey() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return key_;
}

void AuthManager::SetAuthKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  key_ = key;
}

}  // namespace crcp
