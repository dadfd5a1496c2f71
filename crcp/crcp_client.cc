#include "crcp/crcp_client.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <exception>
#include <stdexcept>

#include "crcp/auth_manager.h"
#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/heart_beat.h"
#include "crcp/message_id.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "crcp/session.h"
#include "crcp/version.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::crcp_client";

using json = nlohmann::json;

std::string Dump(const json& content) {
  return content.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A port is any JSON number with a whole value in 0..65535: a peer whose JSON library
// keeps every number as a double writes 7390.0.
std::optional<uint16_t> ReadPort(const json& value) {
  if (value.is_number_unsigned()) {
    const uint64_t port = value.get<uint64_t>();
    if (port <= 0xFFFF) return static_cast<uint16_t>(port);
  } else if (value.is_number_integer()) {
    const int64_t port = value.get<int64_t>();
    if (port >= 0 && port <= 0xFFFF) return static_cast<uint16_t>(port);
  } else if (value.is_number_float()) {
    const double port = value.get<double>();
    if (std::isfinite(port) && port >= 0 && port <= 0xFFFF && std::floor(port) == port)
      return static_cast<uint16_t>(port);
  }
  return std::nullopt;
}

// The handshake answer's members, checked: a non-empty "uuid", a "heartBeatPort" and
// an array of strings "services".
struct ShakeHandAnswer {
  std::string version_name;
  std::string uuid;
  uint16_t heart_beat_port = 0;
  std::list<std::string> services;
};

ShakeHandAnswer ReadShakeHandAnswer(const json& content) {
  if (!content.is_object()) throw std::invalid_argument("content is not an object");
  ShakeHandAnswer answer;
  answer.version_name =
      content.value("version_name", std::string(Config::Instance().GetPeerVersionPlaceholder()));
  answer.uuid = content.at("uuid").get<std::string>();
  if (answer.uuid.empty()) throw std::invalid_argument("uuid is empty");
  const std::optional<uint16_t> port = ReadPort(content.at("heartBeatPort"));
  if (!port) throw std::invalid_argument("heartBeatPort is not a whole number in 0..65535");
  answer.heart_beat_port = *port;
  const json& services = content.at("services");
  if (!services.is_array()) throw std::invalid_argument("services is not an array");
  for (const json& name : services) answer.services.push_back(name.get<std::string>());
  return answer;
}
}  // namespace

CrcpClient::CrcpClient(EstablishedHandler handler, std::shared_ptr<ServiceManager> service_manager,
                       std::shared_ptr<AuthManager> auth_manager)
    : service_manager_(std::move(service_manager)),
      auth_manager_(std::move(auth_manager)),
      established_handler_(std::move(handler)) {}

CrcpClient::~CrcpClient() {
  StopTimer();
  AbandonSession();
}

bool CrcpClient::IsCurrent(uint64_t attempt) const {
  return attempt == attempt_ && establish_timer_ != 0;
}

void CrcpClient::Establish(std::shared_ptr<Connection> connection) {
  if (establish_timer_ != 0) {
    // A previous handshake was never finished: it goes without a report.
    StopTimer();
    AbandonSession();
  }
  const uint64_t attempt = ++attempt_;
  std::weak_ptr<CrcpClient> weak = weak_from_this();
  establish_timer_ = Runtime::AddTimer(kEstablishTimeoutMs, "CrcpClient establish timeout",
                                       [weak, attempt] {
    Runtime::PostTask("Call CrcpClient CallBack because of timeout", [weak, attempt] {
      if (auto self = weak.lock()) self->OnTimeout(attempt);
    });
  });
  std::shared_ptr<HeartBeat> heart_beat;
  try {
    heart_beat = std::make_shared<HeartBeat>();
  } catch (const std::exception& e) {
    // Without a heart-beat port there is nothing to announce: the handshake fails.
    LOG_ERROR("Fail to create heart beat, {}", e.what());
    connection->Close();
    Fail(attempt);
    return;
  }
  session_ = Session::Create(service_manager_, std::move(connection), std::move(heart_beat));
  ShakeHand(attempt);
}

void CrcpClient::ReadAnswer(uint64_t attempt, const std::string& task,
                            void (CrcpClient::*handler)(uint64_t, uint16_t, const json&)) {
  std::weak_ptr<CrcpClient> weak = weak_from_this();
  session_->GetConnection()->ReadMessage(
      [weak, attempt, task, handler](uint16_t id, const json& content) {
        Runtime::PostTask(task, [weak, attempt, handler, id, content] {
          if (auto self = weak.lock()) ((*self).*handler)(attempt, id, content);
        });
      },
      [weak, attempt, task, handler](int code) {
        // A local connection error reaches the step as the error id with its code.
        Runtime::PostTask(task, [weak, attempt, handler, code] {
          if (auto self = weak.lock()) ((*self).*handler)(attempt, kError, json{{"code", code}});
        });
      });
}

void CrcpClient::ShakeHand(uint64_t attempt) {
  json request = json::object();
  request["version_name"] = kVersionName;
  request["version"] = 0;
  request["uuid"] = Config::Instance().GetUuid();
  request["heartBeatPort"] = session_->GetHeartBeat()->GetPort();
  request["authKey"] = auth_manager_->GetAuthKey();
  request["key"] = kFixedKey;
  std::error_code ec = session_->GetConnection()->SendMessage(kShakeHand, request);
  if (ec) LOG_ERROR("ShakeHand: fail to send handshake request, {}", ec.message());
  ReadAnswer(attempt, "Handle Shake hand", &CrcpClient::OnShakeHand);
  LOG_INFO("ShakeHand: send handshake request");
}

void CrcpClient::OnShakeHand(uint64_t attempt, uint16_t id, const json& content) {
  if (!IsCurrent(attempt) || !session_) {
    LOG_WARN("Connection is nullptr, maybe cancel or timeout");
    return;
  }
  if (id != kShakeHandResponse) {
    LOG_ERROR("OnShakeHand: wrong message id {}", id);
    Fail(attempt);
    return;
  }
  ShakeHandAnswer answer;
  try {
    answer = ReadShakeHandAnswer(content);
  } catch (const std::exception& e) {
    LOG_ERROR("OnShakeHand: bad message content {}, {}",
              ::zorvax::utils::logger::Excerpt(Dump(content)), e.what());
    Fail(attempt);
    return;
  }
  try {
    session_->RegisterHandlers(answer.uuid);
    session_->GetHeartBeat()->SetPeer(session_->GetConnection()->GetRemoteAddress(),
                                      answer.heart_beat_port);
    LaunchService(attempt, answer.services);
  } catch (const std::exception& e) {
    LOG_ERROR("OnShakeHand: fail to launch services, {}", e.what());
    Fail(attempt);
  }
}

void CrcpClient::LaunchService(uint64_t attempt, const std::list<std::string>& names) {
  const std::string session_id = session_->GetId();
  const std::string peer_address = session_->GetPeerAddress();
  json request = json::object();
  launched_.clear();
  set_up_.clear();
  for (const auto& name : names) {
    std::string context =
        service_manager_->Init(session_id, peer_address, name, session_->GetHolder());
    if (context.empty()) continue;
    request[service_manager_->GetPeerServiceId(name)] = context;
    launched_.push_back(name);
  }
  std::error_code ec = session_->GetConnection()->SendMessage(kLaunchService, request);
  if (ec) LOG_ERROR("[{}] LaunchService: fail to send, {}", session_id, ec.message());
  LOG_INFO("[{}] LaunchService: send launch service request", session_id);
  ReadAnswer(attempt, "Handle Launch Services Response", &CrcpClient::OnLaunchService);
}

void CrcpClient::OnLaunchService(uint64_t attempt, uint16_t id, const json& content) {
  if (!IsCurrent(attempt) || !session_) {
    LOG_WARN("Connection is nullptr, maybe cancel or timeout");
    return;
  }
  if (id != kLaunchServiceResponse) {
    LOG_ERROR("OnLaunchService: wrong message id {}", id);
    Fail(attempt);
    return;
  }
  const std::string session_id = session_->GetId();
  LOG_INFO("[{}] OnLaunchService: receive launch service response", session_id);
  if (!content.is_object() && !content.is_null()) {
    LOG_ERROR("[{}] OnLaunchService: bad message content {}, {}", session_id,
              ::zorvax::utils::logger::Excerpt(Dump(content)), "content is not an object");
    Fail(attempt);
    return;
  }
  try {
    for (const auto& member : content.items()) {
      if (!member.value().is_string()) {
        LOG_ERROR("[{}] OnLaunchService: bad message content {}, {}", session_id,
                  ::zorvax::utils::logger::Excerpt(Dump(content)),
                  "value of " + member.key() + " is not a string");
        Fail(attempt);
        return;
      }
      if (service_manager_->Setup(session_id, member.key(), member.value().get<std::string>())) {
        set_up_.push_back(member.key());
        launched_.remove(member.key());
      }
    }
  } catch (const std::exception& e) {
    LOG_ERROR("[{}] OnLaunchService: fail to set up services, {}", session_id, e.what());
    Fail(attempt);
    return;
  }
  session_->SetServices(set_up_);
  // Launched, but absent from the answer or not set up.
  ReleaseLaunched(*session_);
  Succeed(attempt);
}

void CrcpClient::Succeed(uint64_t attempt) { PostCallBack(attempt); }

void CrcpClient::Fail(uint64_t attempt) {
  AbandonSession();
  PostCallBack(attempt);
}

void CrcpClient::PostCallBack(uint64_t attempt) {
  std::weak_ptr<CrcpClient> weak = weak_from_this();
  Runtime::PostTask("CrcpClient CallBack", [weak, attempt] {
    if (auto self = weak.lock()) self->CallBack(attempt);
  });
}

void CrcpClient::CallBack(uint64_t attempt) {
  if (!IsCurrent(attempt)) {
    LOG_WARN("timer id is 0, cancel [CallBack] operator");
    return;
  }
  StopTimer();
  std::shared_ptr<Session> session = std::move(session_);
  session_ = nullptr;
  set_up_.clear();
  if (established_handler_) established_handler_(session);
}

void CrcpClient::OnTimeout(uint64_t attempt) {
  if (!IsCurrent(attempt)) {
    LOG_WARN("timer id is 0, cancel [OnTimeout] operator");
    return;
  }
  StopTimer();
  AbandonSession();
  if (established_handler_) established_handler_(nullptr);
}

void CrcpClient::Cancel() {
  std::weak_ptr<CrcpClient> weak = weak_from_this();
  Runtime::PostUrgentTask("Cancel CrcpClient connect", [weak] {
    if (auto self = weak.lock()) self->DoCancel();
  });
}

void CrcpClient::DoCancel() {
  if (establish_timer_ == 0) {
    LOG_WARN("timer id is 0, cancel [Cancel] operator");
    return;
  }
  StopTimer();
  AbandonSession();
}

void CrcpClient::StopTimer() {
  if (establish_timer_ != 0) Runtime::CancelTimer(establish_timer_);
  establish_timer_ = 0;
}

void CrcpClient::ReleaseLaunched(const Session& session) {
  const std::string session_id = session.GetId();
  for (const auto& name : launched_) service_manager_->Release(session_id, name, session.GetHolder());
  launched_.clear();
}

void CrcpClient::AbandonSession() {
  std::shared_ptr<Session> session = std::move(session_);
  session_ = nullptr;
  if (session) {
    // What was only launched is let go of here, what was set up with the session's
    // destruction, so that no service keeps state for a session that never came up
    // (unless another session under the id holds it).
    session->SetServices(set_up_);
    ReleaseLaunched(*session);
    session->Close();
    // The last reference goes in a task of its own, after every task that still
    // holds the session.
    Runtime::PostTask("Destruct session", [session] {});
  }
  launched_.clear();
  set_up_.clear();
}

}  // namespace crcp
