#include "crcp/crcp.h"

#include <mutex>

#include "crcp/auth_manager.h"
#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/crcp_client.h"
#include "crcp/crcp_server.h"
#include "crcp/heart_beat.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "crcp/session.h"
#include "crcp/session_manager.h"
#include "crcp/tcp_client.h"
#include "crcp/tcp_server.h"
#include "crcp/version.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::Crcp";
}

class Crcp::CrcpImpl : public std::enable_shared_from_this<CrcpImpl> {
 public:
  explicit CrcpImpl(std::shared_ptr<ServiceManager> service_manager)
      : service_manager_(std::move(service_manager)) {}

  void Init(const std::string& client_id);
  void Teardown();

  void SetListener(std::shared_ptr<Listener> listener) {
    std::lock_guard<std::mutex> lock(listener_mutex_);
    listener_ = std::move(listener);
  }
  void SetAuthKey(const std::string& key) { auth_manager_->SetAuthKey(key); }
  bool Connect(const std::string& ip, uint16_t port, ConnectCallback callback);
  void Cancel();
  void CloseSession(const std::string& id);
  std::list<std::string> GetAvailableServices(const std::string& id);

 private:
  // Reports a session's end to the facade; one per session, holding neither the
  // facade nor the session alive.
  class SessionListener : public Session::IListener {
   public:
    SessionListener(std::weak_ptr<CrcpImpl> impl, std::weak_ptr<Session> session)
        : impl_(std::move(impl)), session_(std::move(session)) {}
    void OnClosed(const std::string& id) override {
      auto impl = impl_.lock();
      if (!impl) return;
      impl->session_manager_->RemoveSession(id, session_);
      impl->OnClosed(id);
    }
    void OnError(const std::string& id, int code) override {
      auto impl = impl_.lock();
      if (!impl) return;
      impl->OnError(id, code);
      if (!id.empty()) impl->CloseSession(id);
    }

   private:
    std::weak_ptr<CrcpImpl> impl_;
    std::weak_ptr<Session> session_;
  };

  void OnConnected(std::shared_ptr<Connection> connection);
  void OnClientSessionEstablished(std::shared_ptr<Session> session);
  void OnServerSessionEstablished(std::shared_ptr<Session> session);
  void CallbackConnectHandler(const std::string& id, int code);
  void OnClosed(const std::string& id);
  void OnError(const std::string& id, int code);
  std::shared_ptr<Listener> CurrentListener() {
    std::lock_guard<std::mutex> lock(listener_mutex_);
    return listener_;
  }

  std::mutex mutex_;  // the pending connect
  std::unique_ptr<TcpServer> tcp_server_;
  std::function<void(const std::string&)> accept_handler_;
  std::shared_ptr<TcpClient> tcp_client_;
  std::mutex listener_mutex_;
  std::shared_ptr<Listener> listener_;
  std::shared_ptr<ServiceManager> service_manager_;
  std::shared_ptr<AuthManager> auth_manager_;
  std::shared_ptr<SessionManager> session_manager_;
  std::shared_ptr<CrcpServer> server_;
  std::shared_ptr<CrcpClient> client_;
  ConnectCallback connect_callback_;
};

void Crcp::CrcpImpl::Init(const std::string& client_id) {
  // The first use of the runtime starts its workers.
  tcp_server_ = std::make_unique<TcpServer>(Runtime::GetAcceptContext());
  tcp_client_ = std::make_shared<TcpClient>();
  auth_manager_ = std::make_shared<AuthManager>();
  session_manager_ = std::make_shared<SessionManager>();
  std::weak_ptr<CrcpImpl> weak = weak_from_this();
  server_ = std::make_shared<CrcpServer>(
      [weak](std::shared_ptr<Session> session) {
        if (auto self = weak.lock()) self->OnServerSessionEstablished(std::move(session));
      },
      service_manager_, auth_manager_);
  client_ = std::make_shared<CrcpClient>(
      [weak](std::shared_ptr<Session> session) {
        if (auto self = weak.lock()) self->OnClientSessionEstablished(std::move(session));
      },
      service_manager_, auth_manager_);
  std::weak_ptr<SessionManager> sessions = session_manager_;
  Config::Instance().SetUuid(client_id);
  service_manager_->SetMessageSender(
      [sessions](const std::string& session_id, const std::string& service_id,
                 const std::string& message) {
        if (auto manager = sessions.lock()) manager->TransferMsg(session_id, service_id, message);
      });
  LOG_INFO("current version of crcp is {}", kVersionName);
}

void Crcp::CrcpImpl::Teardown() {
  LOG_INFO("destroy crcp");
  SetListener(nullptr);
  Runtime::Stop();
  // No worker runs from here on: what follows cannot race a task or a completion.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connect_callback_ = nullptr;
  }
  client_.reset();
  server_.reset();
  if (session_manager_) session_manager_->CloseAll();
  session_manager_.reset();
  auth_manager_.reset();
  service_manager_.reset();
  tcp_client_.reset();
  accept_handler_ = nullptr;
  tcp_server_.reset();
}

bool Crcp::CrcpImpl::Connect(const std::string& ip, uint16_t port, ConnectCallback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  LOG_INFO("Connect to {}:{}", ip, port);
  if (connect_callback_) {
    LOG_ERROR("Last connect request is not finished, abort");
    return false;
  }
  connect_callback_ = std::move(callback);
  std::weak_ptr<CrcpImpl> weak = weak_from_this();
  tcp_client_->Connect(ip, port, [weak](std::shared_ptr<Connection> connection) {
    if (auto self = weak.lock()) self->OnConnected(std::move(connection));
  });
  return true;
}

void Crcp::CrcpImpl::OnConnected(std::shared_ptr<Connection> connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connect_callback_) {
    LOG_WARN("Connect handler is nullptr, maybe call cancel");
    if (connection) connection->Close();
    return;
  }
  if (!connection) {
    CallbackConnectHandler("", kNoConnection);
    return;
  }
  LOG_INFO("Connected to {} successfully", connection->GetRemoteAddress());
  client_->Establish(std::move(connection));
}

void Crcp::CrcpImpl::OnClientSessionEstablished(std::shared_ptr<Session> session) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!session) {
    CallbackConnectHandler("", kHandshakeFailed);
    return;
  }
  if (!connect_callback_) {
    // Nobody waits for this session any more: it must not live on unknown to the
    // owner.
    LOG_WARN("Connect handler is nullptr, maybe exist a bug");
    session->Close();
    return;
  }
  const std::string id = session->GetId();
  session_manager_->AddSession(session);
  LOG_INFO("Established a client session");
  CallbackConnectHandler(id, kConnected);
  session->SetListener(std::make_shared<SessionListener>(weak_from_this(), session));
  session->Start();
  session->GetHeartBeat()->Beat();
}

void Crcp::CrcpImpl::OnServerSessionEstablished(std::shared_ptr<Session> session) {
  if (!session) {
    LOG_WARN("Fail to establish server session");
    return;
  }
  const std::string id = session->GetId();
  session_manager_->AddSession(session);
  LOG_INFO("Established a server session");
  auto handler = accept_handler_;
  Runtime::PostTask(fmt::format("Call accept callback, with id: {}", id), [handler, id] {
    if (handler) handler(id);
  });
  session->SetListener(std::make_shared<SessionListener>(weak_from_this(), session));
  session->Start();
  session->GetHeartBeat()->Beat();
}

void Crcp::CrcpImpl::CallbackConnectHandler(const std::string& id, int code) {
  if (!connect_callback_) {
    LOG_WARN("Connect handler is nullptr, maybe exist a bug");
    return;
  }
  ConnectCallback callback = std::move(connect_callback_);
  connect_callback_ = nullptr;  // the next Connect is admitted from here on
  Runtime::PostTask(fmt::format("Call connect callback, with id: {}, error code: {}", id, code),
                    [callback, id, code] { callback(id, code); });
}

void Crcp::CrcpImpl::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  LOG_INFO("Connect is canceled");
  connect_callback_ = nullptr;
  tcp_client_->Cancel();
  client_->Cancel();
}

void Crcp::CrcpImpl::CloseSession(const std::string& id) {
  LOG_INFO("Close session: {}", id);
  std::weak_ptr<SessionManager> sessions = session_manager_;
  Runtime::PostTask(fmt::format("Close session {}", id), [sessions, id] {
    if (auto manager = sessions.lock()) manager->CloseSession(id);
  });
}

std::list<std::string> Crcp::CrcpImpl::GetAvailableServices(const std::string& id) {
  auto session = session_manager_->GetSession(id);
  if (!session) {
    LOG_WARN("No session {} exist", id);
    return {};
  }
  std::list<std::string> services = session->GetServices();
  // The owner asks from its own thread. If the session was removed meanwhile, this is
  // the last reference, and the session's destruction stops its services, which must
  // happen on the task thread: the reference is let go there.
  Runtime::PostTask("Release session after a services lookup", [session = std::move(session)] {});
  return services;
}

void Crcp::CrcpImpl::OnClosed(const std::string& id) {
  LOG_INFO("Session: {} has been disconnected", id);
  if (!CurrentListener()) {
    LOG_WARN("Listener is nullptr");
    return;
  }
  std::weak_ptr<CrcpImpl> weak = weak_from_this();
  Runtime::PostTask(fmt::format("Call listener OnClosed callback with id: {}", id), [weak, id] {
    auto self = weak.lock();
    if (!self) return;
    if (auto listener = self->CurrentListener()) listener->OnClosed(id);
  });
}

void Crcp::CrcpImpl::OnError(const std::string& id, int code) {
  LOG_ERROR("Session: {} error: {}", id, code);
  if (!CurrentListener()) {
    LOG_WARN("Listener is nullptr");
    return;
  }
  std::weak_ptr<CrcpImpl> weak = weak_from_this();
  Runtime::PostTask(
      fmt::format("Call listener OnError callback with id: {}, error code: {}", id, code),
      [weak, id, code] {
        auto self = weak.lock();
        if (!self) return;
        if (auto listener = self->CurrentListener()) listener->OnError(id, code);
      });
}

Crcp::Crcp(std::string client_id, std::shared_ptr<ServiceManager> service_manager)
    : impl_(std::make_shared<CrcpImpl>(std::move(service_manager))) {
  impl_->Init(client_id);
}

Crcp::~Crcp() {
  impl_->Teardown();
  impl_.reset();
  Runtime::Shutdown();
}

void Crcp::SetListener(std::shared_ptr<Listener> listener) { impl_->SetListener(std::move(listener)); }
void Crcp::SetAuthKey(const std::string& key) { impl_->SetAuthKey(key); }
bool Crcp::Connect(const std::string& ip, uint16_t port, ConnectCallback callback) {
  return impl_->Connect(ip, port, std::move(callback));
}
void Crcp::Cancel() { impl_->Cancel(); }
void Crcp::CloseSession(const std::string& session_id) { impl_->CloseSession(session_id); }
std::list<std::string> Crcp::GetAvailableServices(const std::string& session_id) {
  return impl_->GetAvailableServices(session_id);
}
void Crcp::SetHeartBeatTimeout(int milliseconds) {
  Config::Instance().SetHeartBeatTimeout(milliseconds);
}

}  // namespace crcp
