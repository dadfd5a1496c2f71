#include "crcp/session.h"

#include <atomic>
#include <exception>

#include "crcp/connection.h"
#include "crcp/heart_beat.h"
#include "crcp/message_id.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::Session";

using json = nlohmann::json;

std::string Dump(const json& content) {
  return content.dump(-1, ' ', false, json::error_handler_t::replace);
}

uint64_t NextHolder() {
  static std::atomic<uint64_t> next{0};
  return ++next;
}
}  // namespace

std::shared_ptr<Session> Session::Create(std::shared_ptr<ServiceManager> service_manager,
                                         std::shared_ptr<Connection> connection,
                                         std::shared_ptr<HeartBeat> heart_beat) {
  auto session = std::make_shared<Session>(std::move(service_manager), std::move(connection),
                                           std::move(heart_beat));
  std::weak_ptr<Session> weak = session;
  session->heart_beat_->SetLoseHandler([weak] {
    // Called on the timer thread under the heart beat's lock: only post.
    Runtime::PostTask("SayHello", [weak] {
      if (auto self = weak.lock()) self->SayHello();
    });
  });
  return session;
}

Session::Session(std::shared_ptr<ServiceManager> service_manager,
                 std::shared_ptr<Connection> connection, std::shared_ptr<HeartBeat> heart_beat)
    : holder_(NextHolder()),
      service_manager_(std::move(service_manager)),
      connection_(std::move(connection)),
      heart_beat_(std::move(heart_beat)) {}

Session::~Session() { Destroy(); }

void Session::RegisterHandlers(const std::string& id) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  id_ = id;
  std::weak_ptr<Session> weak = weak_from_this();
  auto bind = [weak](void (Session::*method)(uint16_t, const json&)) -> Handler {
    return [weak, method](uint16_t msg_id, const json& content) {
      if (auto self = weak.lock()) ((*self).*method)(msg_id, content);
    };
  };
  handlers_[kHello] = bind(&Session::HearHello);
  handlers_[kHelloResponse] = bind(&Session::OnHelloResponse);
  handlers_[kServiceMessage] = bind(&Session::DeliverMessage);
}

void Session::SetListener(std::shared_ptr<IListener> listener) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  listener_ = std::move(listener);
}

void Session::Start() { ReadNext(); }

std::string Session::GetId() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return id_;
}

std::string Session::GetPeerAddress() const { return connection_->GetRemoteAddress(); }

std::list<std::string> Session::GetServices() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return services_;
}

void Session::SetServices(std::list<std::string> services) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  services_ = std::move(services);
}

void Session::ReleaseServices() {
  std::list<std::string> services;
  std::string id;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    services.swap(services_);
    id = id_;
  }
  // Outside the lock: a service's Disconnect joins its threads.
  for (const auto& service : services) {
    LOG_INFO("Stop service {}", service);
    if (service_manager_->Release(id, service, holder_)) LOG_INFO("service {} stopped", service);
  }
}

bool Session::IsClosed() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return closed_;
}

void Session::ReadNext() {
  std::weak_ptr<Session> weak = weak_from_this();
  // The completions run on the I/O thread. When nothing was posted (the session is
  // closed), the reference taken here may be the last one: it is handed to the task
  // thread, so that the session's destruction, which stops its services, never runs
  // on the I/O thread.
  connection_->ReadMessage(
      [weak](uint16_t id, const json& content) {
        auto self = weak.lock();
        if (self && !self->Dispatch(id, content)) ReleaseOnTaskThread(std::move(self));
      },
      [weak](int code) {
        auto self = weak.lock();
        if (self && !self->DispatchError(code)) ReleaseOnTaskThread(std::move(self));
      });
}

void Session::ReleaseOnTaskThread(std::shared_ptr<Session> self) {
  Runtime::PostTask("Destruct session", [self = std::move(self)] {});
}

bool Session::DispatchError(int code) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to dispatch message");
    return false;
  }
  auto self = shared_from_this();
  Runtime::PostTask("Handle connection error", [self, code] { self->OnErrorMessage(code); });
  return true;
}

bool Session::Dispatch(uint16_t id, const json& content) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to dispatch message");
    return false;
  }
  auto self = shared_from_this();
  Runtime::PostTask("Dispatch message", [self, id, content] { self->DispatchMessage(id, content); });
  return true;
}

void Session::DispatchMessage(uint16_t id, const json& content) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to dispatch message");
    return;
  }
  LOG_INFO_LIMITED("[{}] Dispatch message, id: {}, content: {}", id_, id,
                   ::zorvax::utils::logger::Excerpt(Dump(content)));
  auto it = handlers_.find(id);
  if (it == handlers_.end()) {
    LOG_ERROR_LIMITED("[{}] Unknown message, id {}", id_, id);
  } else {
    Handler handler = it->second;
    auto self = shared_from_this();
    Runtime::PostTask(fmt::format("Handle message , id: {}", id),
                      [self, handler, id, content] { handler(id, content); });
  }
  ReadNext();
}

void Session::HearHello(uint16_t, const json&) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to dispatch message");
    return;
  }
  connection_->SendMessage(kHelloResponse, nullptr);
  LOG_INFO_LIMITED("[{}] HearHello: I am alive, hello is heared", id_);
}

void Session::OnHelloResponse(uint16_t, const json&) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to handle hellow response");
    return;
  }
  // Only the answer to our own pending hello resumes the heart beat; a stray or late
  // one would start a second receive on the heart beat's one buffer.
  if (hello_timer_ == 0) {
    LOG_WARN_LIMITED("[{}] OnHelloResponse: no hello is pending, ignored", id_);
    return;
  }
  Runtime::CancelTimer(hello_timer_);
  hello_timer_ = 0;
  ++hello_generation_;
  LOG_INFO("[{}] OnHelloResponse: try to receive heart beat again", id_);
  heart_beat_->Retry();
}

void Session::DeliverMessage(uint16_t, const json& content) {
  std::string service_id;
  std::string message;
  std::string id;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (handlers_.empty()) {
      LOG_INFO("Session handlers is empty, Stop to deliver message");
      return;
    }
    try {
      service_id = content.at("serviceId").get<std::string>();
      message = content.at("message").get<std::string>();
    } catch (const json::exception& e) {
      LOG_ERROR_LIMITED("[{}] DeliverMessage: bad message content {}, {}", id_,
                        ::zorvax::utils::logger::Excerpt(Dump(content)), e.what());
      return;
    }
    id = id_;
  }
  service_manager_->Deliver(id, service_id, std::move(message));
}

void Session::OnErrorMessage(int code) { HandleError(code); }

void Session::HandleError(int code) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to handle error");
    return;
  }
  LOG_ERROR("[{}] HandleError {}", id_, code);
  if (listener_) listener_->OnError(id_, code);
}

void Session::SayHello() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (handlers_.empty()) {
    LOG_INFO("Session handlers is empty, Stop to dispatch message");
    return;
  }
  if (hello_timer_ != 0) return;  // one probe at a time
  LOG_INFO("[{}] SayHello: heart beat is lost, try say hello", id_);
  std::weak_ptr<Session> weak = weak_from_this();
  uint64_t generation = ++hello_generation_;
  hello_timer_ = Runtime::AddTimer(kHelloTimeoutMs, "SayHello timeout", [weak, generation] {
    Runtime::PostTask("Handle SayHello timeout", [weak, generation] {
      if (auto self = weak.lock()) self->OnHelloTimeout(generation);
    });
  });
  connection_->SendMessage(kHello, nullptr);
}

void Session::OnHelloTimeout(uint64_t generation) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // Answered (or closed) while this task waited in the queue.
  if (generation != hello_generation_ || hello_timer_ == 0) return;
  Runtime::CancelTimer(hello_timer_);  // the fired timer's entry
  hello_timer_ = 0;
  ++hello_generation_;
  if (handlers_.empty()) return;
  LOG_ERROR("[{}] No hello response received, remote is dead", id_);
  HandleError(kPeerDead);
}

void Session::SendServiceMessage(const std::string& service_id, const std::string& message) {
  json content = json::object();
  content["serviceId"] = service_id;
  content["message"] = message;
  std::error_code ec = connection_->SendMessage(kServiceMessage, content);
  if (ec) LOG_ERROR("[{}] Fail to send service message to {}: {}", GetId(), service_id, ec.message());
}

void Session::Close() {
  std::shared_ptr<IListener> listener;
  std::string id;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Teardown()) return;
    LOG_INFO("[{}] Close session, wait to be destroyed", id_);
    listener = listener_;
    id = id_;
    if (listener) listener->OnClosed(id);
  }
}

bool Session::Teardown() {
  if (closed_) return false;
  closed_ = true;
  handlers_.clear();
  heart_beat_->Close();
  connection_->Close();
  if (hello_timer_ != 0) Runtime::CancelTimer(hello_timer_);
  hello_timer_ = 0;
  ++hello_generation_;  // a hello time-out already queued finds itself stale
  return true;
}

void Session::Destroy() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    LOG_INFO("[{}] start destroy session", id_);
    // Dropped without a Close (a handshake that never got this far): end the heart
    // beat and the connection quietly.
    Teardown();
  }
  ReleaseServices();
  LOG_INFO("[{}] session destroyed", id_);
}

}  // namespace crcp
