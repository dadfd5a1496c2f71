#include "services/audio/client_command_session.h"

#include <atomic>
#include <exception>
#include <future>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/asio.hpp>
#include <nlohmann/json.hpp>

#include "services/audio/audio_packet.h"
#include "services/audio/connection.h"
#include "services/audio/packet_type.h"
#include "services/media_link/command_sender.h"
#include "utils/bounded_json.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::audio {
namespace {

const char* const kLogTag = "MirrorAudio::AudioSender CMD";

using Json = nlohmann::json;

constexpr int kErrorUnparsable = -1600;
constexpr int kErrorNotPlaying = -1301;

std::optional<Json> ParseBody(const AudioPacket& packet) {
  Json body = zorvax::utils::ParseBoundedJson(
      std::string_view(reinterpret_cast<const char*>(packet.payload.data()), packet.payload.size()),
      /*allow_exceptions=*/false);
  if (body.is_discarded() || !body.is_object()) return std::nullopt;
  return body;
}

// A member that is a number or a boolean, as a signed integer (floats are truncated).
// Values beyond the int range are malformed rather than wrapped.
bool ReadInt(const Json& body, const char* name, int* out) {
  const auto it = body.find(name);
  if (it == body.end()) return false;
  if (it->is_boolean()) {
    *out = it->get<bool>() ? 1 : 0;
    return true;
  }
  if (!it->is_number()) return false;
  const double value = it->get<double>();
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    return false;
  if (it->is_number_unsigned()) {
    *out = static_cast<int>(it->get<uint64_t>());
  } else if (it->is_number_integer()) {
    *out = static_cast<int>(it->get<int64_t>());
  } else {
    *out = static_cast<int>(value);
  }
  return true;
}

// A member that is a non-negative number or a boolean, as an unsigned integer.
bool ReadUnsigned(const Json& body, const char* name, uint32_t* out) {
  int value = 0;
  const auto it = body.find(name);
  if (it != body.end() && it->is_number_unsigned()) {
    const uint64_t v = it->get<uint64_t>();
    if (v > std::numeric_limits<uint32_t>::max()) return false;
    *out = static_cast<uint32_t>(v);
    return true;
  }
  if (!ReadInt(body, name, &value) || value < 0) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

class ClientCommandSession::ClientCommandSessionImpl {
 public:
  ClientCommandSessionImpl();
  ~ClientCommandSessionImpl();

  int Connect(const std::string& host, uint16_t port) { return connection_->Connect(host, port); }
  void SetAudioFormat(uint32_t sample_rate, uint32_t channels, uint32_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    sample_rate_ = sample_rate;
    channel_count_ = channels;
    frame_count_per_packet_ = frames;
  }
  void SetCodec(const std::string& codec) {
    std::lock_guard<std::mutex> lock(mutex_);
    codec_ = codec;
  }
  void SetSender(std::shared_ptr<AudioSender> sender) {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = std::move(sender);
  }
  void SetListener(std::shared_ptr<ClientListener> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
  }
  void SetSendCount(uint32_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    send_count_ = count;
  }
  int GetStatus() const { return status_; }

  void SetupMirrorStart(uint16_t display_mode);
  void SetupMirrorStop();

 private:
  class Listener : public Connection::Listener {
   public:
    explicit Listener(ClientCommandSessionImpl* session) : session_(session) {}
    void OnPacket(std::shared_ptr<AudioPacket> packet) override {
      boost::asio::post(session_->io_, [s = session_, packet = std::move(packet)] {
        s->HandlerPacket(packet);
      });
    }
    // A broken link is learnt from the crcp session, not from here.
    void OnError() override {}
    void OnDisconnect() override {}

   private:
    // The session tears the connection down (joining its worker) before it goes.
    ClientCommandSessionImpl* const session_;
  };

  // Listener calls are made after the session lock is released, so that a listener may
  // call straight back into the session (a new start from OnTeardown, say). Each change
  // of the status and its listener calls run under report_mutex_ as one, so that the
  // calls of the worker and of an owner's stop cannot overtake each other: an OnPlay
  // never arrives after the OnTeardown of the same share. Recursive for the listener's
  // call back on the same thread; a listener must not wait for another thread that
  // calls into the session.
  struct Event {
    enum Kind { kError, kPlay, kTeardown } kind;
    int code = 0;
  };
  using Events = std::vector<Event>;
  using Handler = void (ClientCommandSessionImpl::*)(const std::shared_ptr<AudioPacket>&);

  void HandlerPacket(const std::shared_ptr<AudioPacket>& packet);
  void DoStart(const std::shared_ptr<AudioPacket>& packet);
  void Ignore(const std::shared_ptr<AudioPacket>&) {}
  void OnStart(const std::shared_ptr<AudioPacket>& packet);
  void OnStop(const std::shared_ptr<AudioPacket>& packet);

  // With mutex_ held.
  void StartLocked(uint16_t display_mode);
  void DoStop(Events* events);
  bool Send(uint16_t id, const std::string& body);
  void Notify(const Events& events, std::shared_ptr<ClientListener> listener);

  std::recursive_mutex report_mutex_;
  std::mutex mutex_;
  std::string codec_;
  uint32_t send_count_ = 1;
  uint32_t sample_rate_ = 0;
  uint32_t channel_count_ = 0;
  uint32_t frame_count_per_packet_ = 0;
  std::shared_ptr<ClientListener> listener_;
  std::shared_ptr<AudioSender> sender_;
  std::shared_ptr<Listener> connection_listener_;
  boost::asio::io_context io_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  std::atomic<int> status_{kStatusReady};
  // Guarded by mutex_. Between the owner's start and stop: only then is the receiver's
  // own start taken (the user shares the screen).
  bool owner_started_ = false;
  // Guarded by mutex_. Answers still due for starts the owner called off (a stop, a
  // lock) before they were answered. The receiver may never answer one, so this only
  // ever bounds what a later answer may be taken for: with a start waiting, the first
  // accepting answer plays whichever start it answers; with none, an accepting answer
  // is told to stop while this is above 0 and plainly ignored otherwise.
  int cancelled_answers_ = 0;
  std::shared_ptr<Connection> connection_;
  std::unordered_map<uint16_t, Handler> handlers_;
  std::future<void> worker_;
};

ClientCommandSession::ClientCommandSessionImpl::ClientCommandSessionImpl()
    : connection_listener_(std::make_shared<Listener>(this)),
      work_(boost::asio::make_work_guard(io_)),
      connection_(std::make_shared<Connection>()) {
  handlers_[kStartResponse] = &ClientCommandSessionImpl::DoStart;
  handlers_[kStopResponse] = &ClientCommandSessionImpl::Ignore;
  handlers_[kReceiverStart] = &ClientCommandSessionImpl::OnStart;
  handlers_[kReceiverStop] = &ClientCommandSessionImpl::OnStop;
  connection_->SetListener(connection_listener_);
  worker_ = std::async(std::launch::async, [this] {
    for (;;) {
      try {
        io_.run();
        return;
      } catch (const std::exception& e) {
        LOG_ERROR("command worker caught: {}", e.what());
      }
    }
  });
}

ClientCommandSession::ClientCommandSessionImpl::~ClientCommandSessionImpl() {
  // No packet is posted once the link is down; then the worker runs dry and ends.
  connection_->Disconnnect();
  work_.reset();
  if (worker_.valid()) worker_.wait();
  {
    std::lock_guard<std::recursive_mutex> report(report_mutex_);
    Events events;
    std::shared_ptr<ClientListener> listener;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      DoStop(&events);
      listener = listener_;
    }
    Notify(events, listener);
  }
  LOG_INFO("begin destory connect");
  connection_.reset();
  LOG_INFO("begin destory sender");
  sender_.reset();
  handlers_.clear();
}

void ClientCommandSession::ClientCommandSessionImpl::HandlerPacket(
    const std::shared_ptr<AudioPacket>& packet) {
  const uint16_t id = static_cast<uint16_t>(packet->type & 0xFFFF);
  const auto it = handlers_.find(id);
  if (it == handlers_.end()) {
    LOG_ERROR_LIMITED("unknow packet num");
    return;
  }
  (this->*(it->second))(packet);
}

bool ClientCommandSession::ClientCommandSessionImpl::Send(uint16_t id, const std::string& body) {
  return connection_->Send(crcp::video::SendPacket(id, body));
}

void ClientCommandSession::ClientCommandSessionImpl::Notify(const Events& events,
                                                          std::shared_ptr<ClientListener> listener) {
  if (!listener) return;
  for (const Event& event : events) {
    try {
      switch (event.kind) {
        case Event::kError:
          listener->OnError(event.code);
          break;
        case Event::kPlay:
          listener->OnPlay();
          break;
        case Event::kTeardown:
          listener->OnTeardown();
          break;
      }
    } catch (const std::exception& e) {
      LOG_ERROR("listener threw: {}", e.what());
    }
  }
}

void ClientCommandSession::ClientCommandSessionImpl::SetupMirrorStart(uint16_t display_mode) {
  LOG_INFO("Audio  SetupMirrorStart");
  std::lock_guard<std::mutex> lock(mutex_);
  owner_started_ = true;
  StartLocked(display_mode);
}

void ClientCommandSession::ClientCommandSessionImpl::StartLocked(uint16_t display_mode) {
  if (status_ != kStatusReady) {
    LOG_ERROR("Audio Start Fail Status is not ready");
    return;
  }
  if (!connection_->IsConnected()) {
    LOG_ERROR("connection is not ready");
    return;
  }
  Json body = Json::object();
  body["channelCount"] = channel_count_;
  body["codec"] = codec_;
  body["displayMode"] = static_cast<int>(display_mode);
  body["frameCountPerPacket"] = frame_count_per_packet_;
  body["sampleRate"] = sample_rate_;
  body["sendCount"] = send_count_;
  Send(kStart, body.dump());
  status_ = kStatusStartRequested;
}

void ClientCommandSession::ClientCommandSessionImpl::SetupMirrorStop() {
  LOG_INFO("Audio  SetupMirrorStop");
  std::lock_guard<std::recursive_mutex> report(report_mutex_);
  Events events;
  std::shared_ptr<ClientListener> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    owner_started_ = false;
    if (status_ == kStatusStartRequested) {
      // The answer is still due: whenever it comes it starts nothing, and a later
      // start need not wait for it.
      LOG_INFO("Audio start called off before its answer");
      ++cancelled_answers_;
      status_ = kStatusReady;
      return;
    }
    if (status_ != kStatusPlaying) {
      LOG_ERROR("Audio Start Fail Status is not ready");
      return;
    }
    DoStop(&events);
    listener = listener_;
    if (!connection_->IsConnected()) {
      LOG_ERROR("connection is not ready");
    } else {
      Send(kStop, std::string());
      LOG_INFO("Audio  SetupMirrorStoped");
    }
  }
  Notify(events, listener);
}

void ClientCommandSession::ClientCommandSessionImpl::DoStop(Events* events) {
  LOG_INFO("Audio begin Stop");
  if (!sender_) return;
  sender_->StopSender();
  status_ = kStatusReady;
  events->push_back({Event::kTeardown, 0});
}

void ClientCommandSession::ClientCommandSessionImpl::DoStart(
    const std::shared_ptr<AudioPacket>& packet) {
  LOG_INFO_LIMITED("Recv Receiver OnStart Message");
  std::lock_guard<std::recursive_mutex> report(report_mutex_);
  Events events;
  std::shared_ptr<ClientListener> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener = listener_;
    const auto body = ParseBody(*packet);
    int result = -1;
    const bool readable = body && ReadInt(*body, "resultType", &result);
    const bool accepting = readable && result == 0;
    if (status_ != kStatusStartRequested) {
      // No start waits for this answer: it captures nothing, whatever it says. Perhaps
      // it answers a start called off (a stop, a lock); a receiver that took one is told
      // to stop at once, unless a later start's share is up meanwhile.
      if (cancelled_answers_ > 0) {
        --cancelled_answers_;
        if (accepting && status_ == kStatusReady) {
          LOG_INFO("Audio start answered after it was called off, stopping");
          if (connection_->IsConnected()) Send(kStop, std::string());
        }
      } else {
        LOG_WARN_LIMITED("Audio start answer while no start is waiting, ignored");
      }
      return;
    }
    if (!accepting && cancelled_answers_ > 0) {
      // The answers carry nothing that tells which start they answer: a refusal may be
      // that of a start called off, so the waiting start keeps waiting for an accepting
      // answer (bounded by the owner's time-out).
      --cancelled_answers_;
      LOG_INFO("Audio start refused while a called-off start's answer was due, still waiting");
      return;
    }
    if (!readable) {
      LOG_ERROR_LIMITED("DoStart Json Parse fail");
      events.push_back({Event::kError, kErrorUnparsable});
      result = -1;
    }
    uint32_t repeat_send = 0;
    if (!body || !ReadUnsigned(*body, "repeatSend", &repeat_send)) {
      LOG_ERROR_LIMITED("not allow repeat send");
      repeat_send = 0;
    }
    // The receiver either agrees to the requested count or gets every datagram once.
    // Agreeing restores the count, which an earlier answer of this session may have
    // lowered to 1.
    if (sender_) sender_->SetRepeatCount(repeat_send == send_count_ ? send_count_ : 1);
    if (result != 0) {
      status_ = kStatusReady;
      events.push_back({Event::kError, result});
      LOG_ERROR_LIMITED("receiver is not allow mirror audio! error code is{}", result);
    } else if (!sender_) {
      // Nothing can play: back to ready, so that a later start is not refused for good.
      LOG_ERROR_LIMITED("start answer without a sender");
      status_ = kStatusReady;
    } else {
      LOG_INFO("Audio begin start");
      sender_->StartSender();
      LOG_INFO("Audio end start");
      status_ = kStatusPlaying;
      events.push_back({Event::kPlay, 0});
    }
  }
  Notify(events, listener);
}

void ClientCommandSession::ClientCommandSessionImpl::OnStart(
    const std::shared_ptr<AudioPacket>& packet) {
  LOG_INFO_LIMITED("Recv Reecvier Start Message");
  std::lock_guard<std::recursive_mutex> report(report_mutex_);
  int mode = 0;
  {
    Events events;
    std::shared_ptr<ClientListener> listener;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      listener = listener_;
      const auto body = ParseBody(*packet);
      if (!body || !ReadInt(*body, "displayMode", &mode)) {
        LOG_ERROR_LIMITED("OnStart Json Parse fail");
        events.push_back({Event::kError, kErrorUnparsable});
      } else if (mode < 0 || mode > std::numeric_limits<uint16_t>::max()) {
        LOG_ERROR_LIMITED("OnStart displayMode is illegal");
        return;
      }
    }
    if (!events.empty()) {
      Notify(events, listener);
      return;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!owner_started_) {
    // Nothing is shared: the receiver must not start capturing this computer's sound
    // (and silencing its speakers). Refused as a start in a wrong status is.
    LOG_ERROR_LIMITED("Audio Start Fail, nothing is shared");
    return;
  }
  StartLocked(static_cast<uint16_t>(mode));
}

void ClientCommandSession::ClientCommandSessionImpl::OnStop(const std::shared_ptr<AudioPacket>&) {
  LOG_INFO_LIMITED("Recv Receiver Stop Message");
  std::lock_guard<std::recursive_mutex> report(report_mutex_);
  Events events;
  std::shared_ptr<ClientListener> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listener = listener_;
    int result = kErrorNotPlaying;
    if (status_ == kStatusPlaying) {
      DoStop(&events);
      result = 0;
    }
    Json reply = Json::object();
    reply["resultType"] = result;
    Send(kReceiverStopResponse, reply.dump());
  }
  Notify(events, listener);
}

ClientCommandSession::ClientCommandSession() : impl_(std::make_unique<ClientCommandSessionImpl>()) {}
ClientCommandSession::~ClientCommandSession() = default;
int ClientCommandSession::Connect(const std::string& host, uint16_t port) {
  return impl_->Connect(host, port);
}
void ClientCommandSession::SetAudioFormat(uint32_t sample_rate, uint32_t channel_count,
                                          uint32_t frame_count_per_packet) {
  impl_->SetAudioFormat(sample_rate, channel_count, frame_count_per_packet);
}
void ClientCommandSession::SetCodec(const std::string& codec) { impl_->SetCodec(codec); }
void ClientCommandSession::SetSender(std::shared_ptr<AudioSender> sender) {
  impl_->SetSender(std::move(sender));
}
void ClientCommandSession::SetListener(std::shared_ptr<ClientListener> listener) {
  impl_->SetListener(std::move(listener));
}
void ClientCommandSession::SetSendCount(uint32_t count) { impl_->SetSendCount(count); }
void ClientCommandSession::SetupMirrorStart(uint16_t display_mode) {
  impl_->SetupMirrorStart(display_mode);
}
void ClientCommandSession::SetupMirrorStop() { impl_->SetupMirrorStop(); }
int ClientCommandSession::GetStatus() const { return impl_->GetStatus(); }

}  // namespace crcp::audio
