#include "services/remote_input/remote_input_server.h"

#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "crcp/config.h"
#include "services/remote_input/control_message.h"
#include "services/remote_input/input_data_receiver.h"
#include "services/remote_input/server_session.h"
#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::remote_input_server";

// The session protocol's sender, replaceable at any time and called from the task
// thread, the session workers and the GUI thread. Shared with every session's sender so
// that a session never refers back to the server.
class SenderSlot {
 public:
  void Set(crcp::MessageSender sender) {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = std::move(sender);
  }
  void Send(const std::string& session_id, const std::string& message) {
    crcp::MessageSender sender;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sender = sender_;
    }
    if (sender) sender(session_id, RemoteInputServer::kPeerServiceId, message);
  }

 private:
  std::mutex mutex_;
  crcp::MessageSender sender_;
};
}  // namespace

class RemoteInputServer::RemoteInputServerImpl {
 public:
  explicit RemoteInputServerImpl(std::shared_ptr<IDataSink> sink)
      : sink_(std::move(sink)),
        receiver_(
            [sink = sink_](const std::vector<InputEvent>& events) {
              if (sink) sink->OnData(events);
            },
            crcp::Config::Instance().GetBindAddress()),
        sender_(std::make_shared<SenderSlot>()) {
    LOG_INFO("current version of remote input server is {}", kRemoteInputVersion);
  }

  ~RemoteInputServerImpl() { EndSessions(); }

  void HandleMsg(const std::string& session_id, const std::string& message) {
    std::shared_ptr<ServerSession> session = Find(session_id);
    if (session) session->MessageDispatch(message);
  }

  void SetMessageSender(crcp::MessageSender sender) { sender_->Set(std::move(sender)); }

  std::string InitConnection(const std::string& session_id, const std::string& peer_address) {
    auto session = std::make_shared<ServerSession>(
        session_id, sink_, [slot = sender_, session_id](const std::string& message) {
          slot->Send(session_id, message);
        });
    {
      std::lock_guard<std::mutex> lock(mutex_);
      session->SetListener(listener_);
      auto inserted = sessions_.emplace(session_id, Entry{session, peer_address});
      if (inserted.second) {
        session.reset();  // owned by the map now
        // The peer may send datagrams from now on; a stranger's never reach the sink.
        if (!peer_address.empty()) receiver_.AllowPeer(peer_address);
      }
    }
    Release(std::move(session));  // a duplicate: the session already known is kept

    const uint16_t port = BindDataPort();
    if (port == 0) return {};
    return EncodeInitContext(port);
  }

  bool SetupConnection(const std::string& session_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_.count(session_id) != 0;
  }

  void Disconnect(const std::string& session_id) {
    Entry entry;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = sessions_.find(session_id);
      if (it == sessions_.end()) return;
      entry = std::move(it->second);
      sessions_.erase(it);
    }
    if (!entry.peer_address.empty()) receiver_.DisallowPeer(entry.peer_address);
    // Destroyed outside the lock: it waits for the session's worker, which may be taking
    // the receiver's start.
    Release(std::move(entry.session));
    // Touch taken during a share ends with it: the next session's peer must not find
    // injection on before anything is shared over it. Whether a share is left and the
    // switch off are one step with the owner's start, which would be undone otherwise.
    std::lock_guard<std::mutex> owner(owner_mutex_);
    bool share_left = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& item : sessions_) share_left = share_left || item.second.session->OwnerStarted();
    }
    if (!share_left && sink_) sink_->SetEnabled(false);
  }

  void Shutdown() {
    receiver_.Stop();
    EndSessions();
  }

  void SetListener(std::shared_ptr<IServerListener> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
    for (auto& item : sessions_) item.second.session->SetListener(listener_);
  }

  void StartSessions() { ForEachSession(&ServerSession::Start); }
  void StopSessions() { ForEachSession(&ServerSession::Stop); }

  uint16_t GetDataPort() const { return receiver_.GetPort(); }

 private:
  struct Entry {
    std::shared_ptr<ServerSession> session;
    std::string peer_address;
  };

  std::shared_ptr<ServerSession> Find(const std::string& session_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(session_id);
    return it == sessions_.end() ? nullptr : it->second.session;
  }

  // The sessions in the map's order. The copies let Start and Stop (which send) run
  // outside the lock while the task thread adds or removes sessions.
  std::vector<std::shared_ptr<ServerSession>> Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<ServerSession>> sessions;
    sessions.reserve(sessions_.size());
    for (auto& item : sessions_) sessions.push_back(item.second.session);
    return sessions;
  }

  // The owner's start or stop of every session. The copies are let go after the lock:
  // one may be the last of a session removed meanwhile, whose end joins its worker.
  void ForEachSession(void (ServerSession::*operation)()) {
    std::vector<std::shared_ptr<ServerSession>> sessions;
    std::lock_guard<std::mutex> owner(owner_mutex_);
    sessions = Snapshot();
    for (auto& session : sessions) (session.get()->*operation)();
  }

  // The port is bound once and kept for the server's life; later sessions announce it.
  uint16_t BindDataPort() {
    std::lock_guard<std::mutex> lock(listen_mutex_);
    if (receiver_.GetPort() == 0) {
      // The configured range (7386..7435 by default), not the raw stored value.
      const auto ports = crcp::Config::Instance().GetPorts();
      if (!receiver_.Listen(InputDataReceiver::MakePortRange(ports.first, ports.second))) return 0;
    }
    return receiver_.GetPort();
  }

  void EndSessions() {
    std::unordered_map<std::string, Entry> sessions;
    {
      // No start of the owner's reaches a session once it is out of the map.
      std::lock_guard<std::mutex> owner(owner_mutex_);
      std::lock_guard<std::mutex> lock(mutex_);
      sessions.swap(sessions_);
    }
    for (auto& item : sessions) {
      if (!item.second.peer_address.empty()) receiver_.DisallowPeer(item.second.peer_address);
    }
    // Joins each session's worker, outside the lock.
    for (auto& item : sessions) Release(std::move(item.second.session));
    if (sink_) sink_->SetEnabled(false);
  }

  // Lets go of a control session. Its destructor joins its worker, so a release that
  // happens on that worker (the session protocol stopping the service from a send the
  // worker made) parks the session instead; the next release from another thread, or
  // the server's end, lets it go.
  void Release(std::shared_ptr<ServerSession> session) {
    std::vector<std::shared_ptr<ServerSession>> released;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (session && session->OnWorkerThread()) {
        retired_.push_back(std::move(session));
      } else if (session) {
        released.push_back(std::move(session));
      }
      for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->OnWorkerThread()) {
          ++it;
        } else {
          released.push_back(std::move(*it));
          it = retired_.erase(it);
        }
      }
    }
    released.clear();
  }

  const std::shared_ptr<IDataSink> sink_;
  InputDataReceiver receiver_;
  const std::shared_ptr<SenderSlot> sender_;
  std::mutex listen_mutex_;
  // Serialises the owner's start and stop of the sessions with the switch off at a
  // session's end and with the server's end. Taken before mutex_ and before a
  // session's own lock, never while a session is let go.
  std::mutex owner_mutex_;
  mutable std::mutex mutex_;  // guards sessions_, listener_ and retired_
  std::unordered_map<std::string, Entry> sessions_;
  std::shared_ptr<IServerListener> listener_;
  std::vector<std::shared_ptr<ServerSession>> retired_;  // see Release
};

RemoteInputServer::RemoteInputServer(std::shared_ptr<IDataSink> sink)
    : impl_(std::make_unique<RemoteInputServerImpl>(std::move(sink))) {}

RemoteInputServer::~RemoteInputServer() = default;

std::string RemoteInputServer::GetServiceId() { return kServiceId; }
std::string RemoteInputServer::GetPeerServiceId() { return kPeerServiceId; }

void RemoteInputServer::HandleMsg(const std::string& session_id, const std::string& message) {
  impl_->HandleMsg(session_id, message);
}

void RemoteInputServer::SetMessageSender(crcp::MessageSender sender) {
  impl_->SetMessageSender(std::move(sender));
}

std::string RemoteInputServer::InitConnection(const std::string& session_id,
                                              const std::string& peer_address) {
  return impl_->InitConnection(session_id, peer_address);
}

bool RemoteInputServer::SetupConnection(const std::string& session_id, const std::string&) {
  return impl_->SetupConnection(session_id);
}

void RemoteInputServer::Disconnect(const std::string& session_id) { impl_->Disconnect(session_id); }
void RemoteInputServer::Shutdown() { impl_->Shutdown(); }

void RemoteInputServer::SetListener(std::shared_ptr<IServerListener> listener) {
  impl_->SetListener(std::move(listener));
}

void RemoteInputServer::StartSessions() { impl_->StartSessions(); }
void RemoteInputServer::StopSessions() { impl_->StopSessions(); }
uint16_t RemoteInputServer::GetDataPort() const { return impl_->GetDataPort(); }

}  // namespace crcp::ril
