#include "services/video/client_command_session.h"

#include <atomic>
#include <exception>
#include <future>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include <boost/asio.hpp>
#include <nlohmann/json.hpp>

#include "services/media_link/command_sender.h"
#include "services/media_link/connection.h"
#include "utils/bounded_json.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::video {
namespace {

const char* const kLogTag = "MirrorVideo::SenderCMD";

using Json = nlohmann::json;

// Parses a command body; nullopt when it is not a JSON object.
std::optional<Json> ParseBody(const VideoPacket& packet) {
  Json body = zorvax::utils::ParseBoundedJson(
      std::string_view(reinterpret_cast<const char*>(packet.payload.data()), packet.payload.size()),
      /*allow_exceptions=*/false);
  if (body.is_discarded() || !body.is_object()) return std::nullopt;
  return body;
}

// Reads an integer member within [min, max]. Floats, booleans, strings and values out
// of range fail: a screen size of 70000 is a malformed body, not 4464 after a wrap.
bool ReadInteger(const Json& body, const char* name, int64_t min, int64_t max, int64_t* out) {
  const auto it = body.find(name);
  if (it == body.end()) return false;
  if (it->is_number_unsigned()) {
    const uint64_t v = it->get<uint64_t>();
    if (v > static_cast<uint64_t>(max)) return false;
    *out = static_cast<int64_t>(v);
    return min <= *out;
  }
  if (it->is_number_integer()) {
    const int64_t v = it->get<int64_t>();
    if (v < min || v > max) return false;
    *out = v;
    return true;
  }
  return false;
}

constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kU16Max = std::numeric_limits<uint16_t>::max();

}  // namespace

class ClientCommandSession::ClientCommandSessionImpl {
 public:
  ClientCommandSessionImpl(StartCheck start_check, ConnectionOptions options);
  ~ClientCommandSessionImpl();

  int Connect(const std::string& address, uint16_t port) {
    return connection_->Connect(address, port);
  }
  void SetListener(std::shared_ptr<MirrorSenderSession::Listener> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
  }
  void SetSessionId(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    session_id_ = id;
  }
  void SetCodecName(const std::string& codec) {
    std::lock_guard<std::mutex> lock(mutex_);
    codec_ = codec;
  }
  void SetVideoSender(std::shared_ptr<IVideoSender> sender);

  bool SetupMirrorStart(int display_mode);
  bool SetupMirrorPause();
  bool SetupMirrorStop();
  bool SendKeepAspectRatio(bool keep);
  void OnTcpInfoNotify(uint32_t score, uint32_t bandwidth, uint32_t rto, uint32_t rtt);

  std::vector<uint8_t> SendPacket(uint16_t id, const std::string& body) const {
    return video::SendPacket(id, body);
  }
  VideoCommandStatus GetStatus() const { return static_cast<VideoCommandStatus>(status_.load()); }

 private:
  // Installed on the command connection; calls arrive on the connection's worker
  // and are handed over to the session's own worker.
  class Listener : public Connection::Listener {
   public:
    explicit Listener(ClientCommandSessionImpl* session) : session_(session) {}
    void OnPacket(std::shared_ptr<VideoPacket> packet) override {
      boost::asio::post(session_->io_, [s = session_, packet = std::move(packet)] {
        s->HandlerPacket(*packet);
      });
    }
    void OnError() override {
      LOG_INFO("socket on error");
      boost::asio::post(session_->io_, [s = session_] { s->OnLinkError(); });
    }
    void OnDisconnect() override {
      LOG_INFO("socket on disconnect");
      session_->status_ = kStatusStopped;
    }

   private:
    // The session closes the connection (joining its worker) before it goes.
    ClientCommandSessionImpl* const session_;
  };

  using Handler = void (ClientCommandSessionImpl::*)(const VideoPacket&);
  enum class Event { kError, kPlay, kPause, kTeardown };

  void RunWorker();
  void HandlerPacket(const VideoPacket& packet);
  void DoStart(const VideoPacket& packet);
  void OnStart(const VideoPacket& packet);
  void OnPause(const VideoPacket& packet);
  void OnStop(const VideoPacket& packet);
  void OnNotifyAspect(const VideoPacket& packet);
  void OnRequestKeyFrame(const VideoPacket& packet);
  void Ignore(const VideoPacket&) {}
  void OnLinkError();

  // Callers hold mutex_.
  bool StartLocked(int display_mode);
  // Stops a running or paused sender and returns to stopped.
  void StopLocked();
  bool SendCommand(uint16_t id, const Json* body);
  void SendReply(uint16_t request, int result);

  // Called without mutex_ held, with the listener taken while it was.
  static void Notify(const std::shared_ptr<MirrorSenderSession::Listener>& listener, Event event,
                     int code = 0);

  const StartCheck start_check_;
  std::mutex mutex_;  // the exchange: status changes, sender, listener, id, codec
  std::string session_id_;
  std::shared_ptr<Listener> connection_listener_;
  std::shared_ptr<MirrorSenderSession::Listener> listener_;
  std::shared_ptr<IVideoSender> sender_;
  boost::asio::io_context io_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  std::atomic<int> status_{kStatusStopped};
  std::string codec_ = "h264";
  std::shared_ptr<Connection> connection_;
  std::unordered_map<uint16_t, Handler> handlers_;
  std::atomic<bool> closing_{false};
  // Guarded by mutex_. Answers still due for starts called off by a stop before they
  // were answered. The receiver may never answer one, so this only ever bounds what a
  // later answer may be taken for: with a start waiting, the first accepting answer
  // plays whichever start it answers; with none, an accepting answer is torn down
  // while this is above 0 and plainly ignored otherwise.
  int cancelled_answers_ = 0;
  std::future<void> worker_;
};

ClientCommandSession::ClientCommandSessionImpl::ClientCommandSessionImpl(StartCheck start_check,
                                                                       ConnectionOptions options)
    : start_check_(std::move(start_check)),
      connection_listener_(std::make_shared<Listener>(this)),
      work_(boost::asio::make_work_guard(io_)),
      connection_(std::make_shared<Connection>(std::move(options))),
      handlers_{
          {kCommandStartAnswer, &ClientCommandSessionImpl::DoStart},
          {kCommandPauseAnswer, &ClientCommandSessionImpl::Ignore},
          {kCommandStopAnswer, &ClientCommandSessionImpl::Ignore},
          {kCommandReceiverStart, &ClientCommandSessionImpl::OnStart},
          {kCommandReceiverPause, &ClientCommandSessionImpl::OnPause},
          {kCommandReceiverStop, &ClientCommandSessionImpl::OnStop},
          {kCommandResolutionChange, &ClientCommandSessionImpl::OnNotifyAspect},
          {kCommandKeyFrameRequest, &ClientCommandSessionImpl::OnRequestKeyFrame},
      } {
  connection_->SetListener(connection_listener_);
  worker_ = std::async(std::launch::async, [this] { RunWorker(); });
}

ClientCommandSession::ClientCommandSessionImpl::~ClientCommandSessionImpl() {
  LOG_INFO("ClientSessionCMD Destory");
  closing_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_.reset();
  }
  // Close the link first: once its worker is joined no packet or error is handed
  // over any more, and a send on another thread is woken.
  connection_->Disconnect();
  work_.reset();
  if (worker_.valid()) worker_.wait();
  std::shared_ptr<IVideoSender> sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sender = std::move(sender_);
  }
  if (sender) {
    sender->SetTcpInfoCallback({});
    sender->StopSender();
    status_ = kStatusStopped;
  }
  handlers_.clear();
  connection_.reset();
}

void ClientCommandSession::ClientCommandSessionImpl::RunWorker() {
  for (;;) {
    try {
      io_.run();
      return;
    } catch (const std::exception& e) {
      LOG_ERROR("command worker caught: {}", e.what());
    } catch (...) {
      LOG_ERROR("command worker caught an unknown exception");
    }
  }
}

void ClientCommandSession::ClientCommandSessionImpl::SetVideoSender(
    std::shared_ptr<IVideoSender> sender) {
  if (sender) {
    // The session stops the sender (joining the provider's monitor thread, the only
    // caller) and clears the callback before it goes.
    sender->SetTcpInfoCallback([this](uint32_t score, uint32_t bandwidth, uint32_t rto,
                                      uint32_t rtt) { OnTcpInfoNotify(score, bandwidth, rto, rtt); });
  }
  std::shared_ptr<IVideoSender> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replaced = std::exchange(sender_, std::move(sender));
    if (replaced == sender_) replaced.reset();
  }
  // A sender that is no longer this session's must not call back into it.
  if (replaced) replaced->SetTcpInfoCallback({});
}

void ClientCommandSession::ClientCommandSessionImpl::Notify(
    const std::shared_ptr<MirrorSenderSession::Listener>& listener, Event event, int code) {
  if (!listener) return;
  switch (event) {
    case Event::kError: listener->OnError(code); break;
    case Event::kPlay: listener->OnPlay(); break;
    case Event::kPause: listener->OnPause(); break;
    case Event::kTeardown: listener->OnTeardown(); break;
  }
}

bool ClientCommandSession::ClientCommandSessionImpl::SendCommand(uint16_t id, const Json* body) {
  // Names in order and no blanks: the receiver reads the compact form.
  return connection_->Send(SendPacket(id, body ? body->dump() : std::string()));
}

void ClientCommandSession::ClientCommandSessionImpl::SendReply(uint16_t request, int result) {
  const Json body = {{"resultType", result}};
  SendCommand(ReplyId(request), &body);
}

bool ClientCommandSession::ClientCommandSessionImpl::StartLocked(int display_mode) {
  const int status = status_;
  if (status == kStatusPlaying || status == kStatusStartSent) {
    LOG_WARN("Start fail, status is not ready");
    return false;
  }
  if (!connection_->IsConnected()) {
    LOG_ERROR("connection is not ready");
    return false;
  }
  const Json body = {{"codec", codec_}, {"displayMode", display_mode}};
  if (!SendCommand(kCommandStart, &body)) return false;  // nothing to wait for
  LOG_INFO("Send Start Message");
  status_ = kStatusStartSent;
  return true;
}

void ClientCommandSession::ClientCommandSessionImpl::StopLocked() {
  const int status = status_;
  if (sender_ && (status == kStatusPlaying || status == kStatusPaused)) sender_->StopSender();
  status_ = kStatusStopped;
}

bool ClientCommandSession::ClientCommandSessionImpl::SetupMirrorStart(int display_mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  return StartLocked(display_mode);
}

bool ClientCommandSession::ClientCommandSessionImpl::SetupMirrorPause() {
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  bool sent = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_ != kStatusPlaying) {
      LOG_WARN("Pause fail, status is not ready");
      return false;
    }
    if (sender_) sender_->Pause();
    status_ = kStatusPaused;
    listener = listener_;
    if (connection_->IsConnected()) {
      sent = SendCommand(kCommandPause, nullptr);
    } else {
      LOG_ERROR("connection is not ready");
    }
  }
  Notify(listener, Event::kPause);
  return sent;
}

bool ClientCommandSession::ClientCommandSessionImpl::SetupMirrorStop() {
  std::lock_guard<std::mutex> lock(mutex_);
  const int status = status_;
  if (status == kStatusStartSent) {
    // The start is called off (a lock, a start left unanswered): its answer, whenever
    // it comes, starts nothing, and the next start need not wait for it.
    LOG_INFO("Start called off before its answer");
    ++cancelled_answers_;
    status_ = kStatusStopped;
    return false;
  }
  if (status == kStatusStopped) {
    LOG_WARN("Stop fail, status is not ready");
    return false;
  }
  // The local stop never depends on the link: a dead command connection must not
  // leave the sender and the pipeline running.
  StopLocked();
  if (!connection_->IsConnected()) {
    LOG_ERROR("connection is not ready");
    return false;
  }
  const bool sent = SendCommand(kCommandStop, nullptr);
  LOG_INFO("Send Stop Message");
  return sent;
}

bool ClientCommandSession::ClientCommandSessionImpl::SendKeepAspectRatio(bool keep) {
  const Json body = {{"keepAspectRatio", keep}};
  return SendCommand(kCommandKeepAspectRatio, &body);
}

void ClientCommandSession::ClientCommandSessionImpl::OnTcpInfoNotify(uint32_t score,
                                                                     uint32_t bandwidth,
                                                                     uint32_t rto, uint32_t rtt) {
  LOG_INFO("OnTcpInfoNotify");
  const Json body = {{"bandwidth", bandwidth}, {"rto", rto}, {"rtt", rtt}, {"score", score}};
  SendCommand(kCommandLinkStatistics, &body);
}

void ClientCommandSession::ClientCommandSessionImpl::HandlerPacket(const VideoPacket& packet) {
  if (closing_) return;
  const auto it = handlers_.find(static_cast<uint16_t>(packet.type & 0xFFFF));
  if (it == handlers_.end()) {
    LOG_ERROR_LIMITED("unknow packet num");
    return;
  }
  (this->*(it->second))(packet);
}

void ClientCommandSession::ClientCommandSessionImpl::DoStart(const VideoPacket& packet) {
  int64_t result = 0, width = 0, height = 0;
  const auto body = ParseBody(packet);
  const bool parsed = body && ReadInteger(*body, "resultType", kIntMin, kIntMax, &result) &&
                      ReadInteger(*body, "screenWidth", 0, kU16Max, &width) &&
                      ReadInteger(*body, "screenHeight", 0, kU16Max, &height);
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  Event event = Event::kError;
  int code = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener = listener_;
    const bool accepting = parsed && result == 0 && width != 0 && height != 0;
    const int status = status_;
    if (status != kStatusStartSent) {
      // No start waits for this answer: it starts nothing, whatever it says. Perhaps it
      // answers a start called off; nothing of this desk is shown for that, so a
      // receiver that took it is torn down at once, unless a later start's share is up.
      if (cancelled_answers_ > 0) {
        --cancelled_answers_;
        if (accepting && status == kStatusStopped) {
          LOG_INFO("Start answered after it was called off, stopping");
          SendCommand(kCommandStop, nullptr);
        }
      } else {
        LOG_WARN_LIMITED("Start answer while no start is waiting, ignored");
      }
      return;
    }
    if (!accepting && cancelled_answers_ > 0) {
      // The answers carry nothing that tells which start they answer: a refusal may be
      // that of a start called off, so the waiting start keeps waiting for an accepting
      // answer (bounded by the owner's time-out).
      --cancelled_answers_;
      LOG_INFO("Start refused while a called-off start's answer was due, still waiting");
      return;
    }
    if (!parsed) {
      LOG_ERROR_LIMITED("DoStart Json Parse fail");
      // A start left waiting for an answer that never becomes valid would refuse both
      // start and stop for good.
      status_ = kStatusStopped;
      code = kResultParseError;
    } else {
      LOG_INFO_LIMITED("Recv Start Message, result is {}", result);
      if (result != 0) {
        StopLocked();
        code = static_cast<int>(result);
      } else if (width != 0 && height != 0) {
        if (sender_) {
          sender_->ChangeResolution(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
          sender_->StartSender();
          status_ = kStatusPlaying;
          LOG_INFO("Video Stated");
          event = Event::kPlay;
        } else {
          LOG_ERROR_LIMITED("no video sender, start answer dropped");
          status_ = kStatusStopped;
          code = kResultNoSender;
        }
      } else {
        LOG_INFO_LIMITED("width or height is invaild, width: {}, height: {}", width, height);
        StopLocked();
        code = kResultZeroSize;
      }
    }
  }
  Notify(listener, event, code);
}

void ClientCommandSession::ClientCommandSessionImpl::OnStart(const VideoPacket& packet) {
  LOG_INFO_LIMITED("Recv Receiver Start Message");
  int64_t mode = 0;
  const auto body = ParseBody(packet);
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  std::string session_id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener = listener_;
    session_id = session_id_;
  }
  if (!body || !ReadInteger(*body, "displayMode", kIntMin, kIntMax, &mode)) {
    LOG_ERROR_LIMITED("OnStart Json Parse fail");
    Notify(listener, Event::kError, kResultParseError);
    return;
  }
  if (mode < 0) {
    LOG_ERROR_LIMITED("OnStart displayMode is illegal");
    Notify(listener, Event::kError, kResultIllegalMode);
    return;
  }
  // The check belongs to the service and may take its own lock: run it unlocked.
  if (start_check_ && !start_check_(session_id)) {
    SendReply(kCommandReceiverStart, kResultStartRefused);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  StartLocked(static_cast<int>(mode));
}

void ClientCommandSession::ClientCommandSessionImpl::OnPause(const VideoPacket&) {
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  int result = kResultNotPlaying;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_ == kStatusPlaying) {
      if (sender_) sender_->Pause();
      status_ = kStatusPaused;
      listener = listener_;
      result = kResultOk;
    }
    SendReply(kCommandReceiverPause, result);
  }
  if (result == kResultOk) Notify(listener, Event::kPause);
}

void ClientCommandSession::ClientCommandSessionImpl::OnStop(const VideoPacket&) {
  LOG_INFO_LIMITED("Receiver Stop Message.");
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  int result = kResultNotStarted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const int status = status_;
    if (status != kStatusStopped && status != kStatusStartSent) {
      StopLocked();
      listener = listener_;
      result = kResultOk;
    }
    SendReply(kCommandReceiverStop, result);
  }
  if (result == kResultOk) Notify(listener, Event::kTeardown);
}

void ClientCommandSession::ClientCommandSessionImpl::OnNotifyAspect(const VideoPacket& packet) {
  LOG_INFO_LIMITED("Recv Change Aspect Message");
  int64_t width = 0, height = 0;
  const auto body = ParseBody(packet);
  const bool parsed = body && ReadInteger(*body, "screenWidth", 0, kU16Max, &width) &&
                      ReadInteger(*body, "screenHeight", 0, kU16Max, &height);
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  int code = kResultOk;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener = listener_;
    if (!parsed) {
      LOG_ERROR_LIMITED("OnNotifyAspect Json Parse fail");
      code = kResultParseError;
    } else if (width != 0 && height != 0) {
      if (sender_) sender_->ChangeResolution(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
      SendReply(kCommandResolutionChange, kResultOk);
    } else {
      code = kResultZeroSize;
    }
  }
  if (code != kResultOk) Notify(listener, Event::kError, code);
}

void ClientCommandSession::ClientCommandSessionImpl::OnRequestKeyFrame(const VideoPacket&) {
  LOG_INFO_LIMITED("OnRequestKeyFrame");
  std::lock_guard<std::mutex> lock(mutex_);
  if (status_ != kStatusPlaying) {
    LOG_ERROR_LIMITED("video is not start request key frame fail");
    return;
  }
  if (sender_) sender_->RequestKeyFrame();
}

void ClientCommandSession::ClientCommandSessionImpl::OnLinkError() {
  if (closing_) return;
  std::shared_ptr<MirrorSenderSession::Listener> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // The link reads nothing more: stop streaming so the pipeline does not run on
    // for a receiver that can no longer stop it.
    StopLocked();
    listener = listener_;
  }
  Notify(listener, Event::kError, kResultLinkLost);
}

// --- facade ---

ClientCommandSession::ClientCommandSession(StartCheck start_check, ConnectionOptions options)
    : impl_(std::make_unique<ClientCommandSessionImpl>(std::move(start_check), std::move(options))) {}
ClientCommandSession::~ClientCommandSession() = default;

int ClientCommandSession::Connect(const std::string& address, uint16_t port) {
  return impl_->Connect(address, port);
}
void ClientCommandSession::SetListener(std::shared_ptr<MirrorSenderSession::Listener> listener) {
  impl_->SetListener(std::move(listener));
}
void ClientCommandSession::SetSessionId(const std::string& session_id) {
  impl_->SetSessionId(session_id);
}
void ClientCommandSession::SetCodecName(const std::string& codec) { impl_->SetCodecName(codec); }
void ClientCommandSession::SetVideoSender(std::shared_ptr<IVideoSender> sender) {
  impl_->SetVideoSender(std::move(sender));
}
bool ClientCommandSession::SetupMirrorStart(int display_mode) {
  return impl_->SetupMirrorStart(display_mode);
}
bool ClientCommandSession::SetupMirrorPause() { return impl_->SetupMirrorPause(); }
bool ClientCommandSession::SetupMirrorStop() { return impl_->SetupMirrorStop(); }
bool ClientCommandSession::SendKeepAspectRatio(bool keep) { return impl_->SendKeepAspectRatio(keep); }
void ClientCommandSession::OnTcpInfoNotify(uint32_t score, uint32_t bandwidth, uint32_t rto,
                                           uint32_t rtt) {
  impl_->OnTcpInfoNotify(score, bandwidth, rto, rtt);
}
std::vector<uint8_t> ClientCommandSession::SendPacket(uint16_t id, const std::string& body) const {
  return impl_->SendPacket(id, body);
}
VideoCommandStatus ClientCommandSession::GetStatus() const { return impl_->GetStatus(); }

}  // namespace crcp::video
