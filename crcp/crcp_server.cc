#include "crcp/crcp_server.h"

#include "crcp/session.h"

namespace crcp {

CrcpServer::CrcpServer(AcceptHandler handler, std::shared_ptr<ServiceManager> service_manager,
                       std::shared_ptr<AuthManager> auth_manager)
    : service_manager_(std::move(service_manager)),
      auth_manager_(std::move(auth_manager)),
      accept_handler_(std::move(handler)) {}

CrcpServer::~CrcpServer() = default;

}  // namespace crcp
