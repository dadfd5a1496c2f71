#include "services/remote_input/server_session.h"

#include <climits>
#include <exception>
#include <optional>
#include <utility>

#include <asio/post.hpp>

#include "services/remote_input/control_message.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::server session";
using ::zorvax::utils::logger::Excerpt;
}  // namespace

ServerSession::ServerSession(std::string session_id, std::shared_ptr<IDataSink> sink, Sender sender)
    : session_id_(std::move(session_id)),
      sink_(std::move(sink)),
      sender_(std::move(sender)),
      guard_(asio::make_work_guard(io_)) {
  handlers_[control::kStartRequest] = [this](const nlohmann::json& c) { DoStart(c); };
  handlers_[control::kStopRequest] = [this](const nlohmann::json& c) { DoStop(c); };
  handlers_[control::kStartResponse] = [this](const nlohmann::json& c) { OnStart(c); };
  handlers_[control::kStopResponse] = [this](const nlohmann::json& c) { OnStop(c); };
  handlers_[control::kError] = [this](const nlohmann::json& c) { OnErrorMessage(c); };
  thread_ = std::thread([this] { RunWorker(); });
}

ServerSession::~ServerSession() {
  // Posted handlers still run: the worker leaves run() once the queue is empty. They
  // use this object's members, so the join comes before any member goes away.
  guard_.reset();
  if (thread_.joinable()) thread_.join();
}

void ServerSession::SetListener(std::shared_ptr<IServerListener> listener) {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  listener_ = std::move(listener);
}

std::shared_ptr<IServerListener> ServerSession::Listener() const {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  return listener_;
}

void ServerSession::Start() {
  LOG_INFO("send start request to client");
  std::lock_guard<std::mutex> lock(state_mutex_);
  owner_started_ = true;
  SetSinkEnabled(true);
  Send(control::kStartRequest);
}

void ServerSession::Stop() {
  LOG_INFO("send stop request to client");
  std::lock_guard<std::mutex> lock(state_mutex_);
  owner_started_ = false;
  SetSinkEnabled(false);
  Send(control::kStopRequest);
}

void ServerSession::MessageDispatch(const std::string& message) {
  ControlMessage parsed;
  std::string error;
  if (!ParseControlMessage(message, parsed, error)) {
    LOG_ERROR_LIMITED("Illegal message {}: {}", Excerpt(message), Excerpt(error));
    PostError(kErrorIllegalMessage);
    return;
  }
  auto handler = handlers_.find(parsed.id);
  if (handler == handlers_.end()) {
    LOG_ERROR_LIMITED("unknown message id: {}", parsed.id);
    PostError(kErrorUnknownMessage);
    return;
  }
  LOG_INFO_LIMITED("dispatch message {} with content: {}", parsed.id,
                   Excerpt(parsed.content.dump()));
  Handler& run = handler->second;
  Post(parsed.id, [&run, content = std::move(parsed.content)] { run(content); });
}

void ServerSession::DoStart(const nlohmann::json&) {
  LOG_INFO_LIMITED("receive start request from client");
  {
    // The check and the enabling are one step with the owner's Stop: a stop in between
    // would leave injection on after it.
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!owner_started_) {
      // Nothing is shared, or the user does not let the receiver's touches in: the
      // receiver gets the refusal it would give, and the session goes on.
      LOG_WARN_LIMITED("start request refused: touch is not part of the share");
      if (sender_) sender_(EncodeStartRefusal());
      return;
    }
    SetSinkEnabled(true);
    Send(control::kStartResponse);
  }
  if (auto listener = Listener()) listener->OnStart();
}

void ServerSession::DoStop(const nlohmann::json&) {
  LOG_INFO_LIMITED("receive stop request from client");
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    SetSinkEnabled(false);
    Send(control::kStopResponse);
  }
  if (auto listener = Listener()) listener->OnStop();
}

void ServerSession::OnStart(const nlohmann::json& content) {
  LOG_INFO_LIMITED("received start response from client");
  // The sink is left alone: Start enabled it when it sent the request, and a refusal
  // does not take that back.
  const auto result = content.is_object() ? content.find("result") : content.end();
  if (!content.is_object() || result == content.end() || !result->is_boolean()) {
    LOG_ERROR_LIMITED("Bad message content: {}: {}", Excerpt(content.dump()),
                      "\"result\" must be a boolean member");
    ReportError(kErrorIllegalMessage);
    return;
  }
  if (result->get<bool>()) {
    if (auto listener = Listener()) listener->OnStart();
  } else {
    ReportError(kErrorStartRefused);
  }
}

void ServerSession::OnStop(const nlohmann::json&) {
  LOG_INFO_LIMITED("received stop response from client");
  if (auto listener = Listener()) listener->OnStop();
}

void ServerSession::OnErrorMessage(const nlohmann::json& content) {
  std::optional<int64_t> code;
  if (content.is_object()) {
    const auto member = content.find("code");
    if (member != content.end()) code = JsonToInteger(*member, INT_MIN, INT_MAX);
  }
  if (!code) {
    LOG_ERROR_LIMITED("Bad message content: {}: {}", Excerpt(content.dump()),
                      "\"code\" must be an integer member");
    ReportError(kErrorIllegalMessage);
    return;
  }
  ReportError(static_cast<int>(*code));
}

void ServerSession::Post(uint16_t id, std::function<void()> work) {
  asio::post(io_, [this, id, work = std::move(work)] {
    try {
      work();
    } catch (const std::exception& e) {
      LOG_ERROR_LIMITED("Handling of message {} failed: {}", id, e.what());
      ReportError(kErrorIllegalMessage);
    } catch (...) {
      LOG_ERROR_LIMITED("Handling of message {} failed", id);
      ReportError(kErrorIllegalMessage);
    }
  });
}

void ServerSession::PostError(int code) {
  asio::post(io_, [this, code] { ReportError(code); });
}

void ServerSession::ReportError(int code) {
  auto listener = Listener();
  if (!listener) return;
  try {
    listener->OnError(code);
  } catch (const std::exception& e) {
    LOG_ERROR("Listener failed on error {}: {}", code, e.what());
  } catch (...) {
    LOG_ERROR("Listener failed on error {}", code);
  }
}

void ServerSession::Send(uint16_t id) {
  if (sender_) sender_(EncodeControlMessage(id));
}

void ServerSession::SetSinkEnabled(bool enabled) {
  if (sink_) sink_->SetEnabled(enabled);
}

void ServerSession::RunWorker() {
  // Handlers catch their own exceptions; this only keeps a stray one from ending the
  // process with the thread.
  for (;;) {
    try {
      io_.run();
      return;
    } catch (const std::exception& e) {
      LOG_ERROR("Exception on the session worker: {}", e.what());
    } catch (...) {
      LOG_ERROR("Unknown exception on the session worker");
    }
  }
}

}  // namespace crcp::ril
