#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace crcp {

class AuthManager;
class ServiceManager;
class Session;

// The accepting side's counterpart of the client handshake. Nothing gives it a
// connection in the client, so it is only built and destroyed with the facade.
class CrcpServer {
 public:
  using AcceptHandler = std::function<void(std::shared_ptr<Session>)>;

  CrcpServer(AcceptHandler handler, std::shared_ptr<ServiceManager> service_manager,
             std::shared_ptr<AuthManager> auth_manager);
  ~CrcpServer();

 private:
  std::unordered_map<std::string, std::shared_ptr<Session>> sessions_;
  std::shared_ptr<ServiceManager> service_manager_;
  std::shared_ptr<AuthManager> auth_manager_;
  AcceptHandler accept_handler_;
};

}  // namespace crcp
