#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <nlohmann/json.hpp>

namespace crcp {

class Connection;
class HeartBeat;
class ServiceManager;

// One established control session with one peer: its message connection and heart
// beat, the dispatch of incoming messages by id, hello probes when the heart beat is
// lost, and the relay of service messages. Closed once; its destruction lets go of
// the services that were set up for it, which stops those no other session under the
// same id holds.
class Session : public std::enable_shared_from_this<Session> {
 public:
  class IListener {
   public:
    virtual ~IListener() = default;
    virtual void OnClosed(const std::string& session_id) = 0;
    virtual void OnError(const std::string& session_id, int code) = 0;
  };

  using Handler = std::function<void(uint16_t id, const nlohmann::json& content)>;

  static constexpr unsigned kHelloTimeoutMs = 2000;
  static constexpr int kPeerDead = -1;

  // Builds the session and installs the heart beat's lose handler, which posts
  // "SayHello".
  static std::shared_ptr<Session> Create(std::shared_ptr<ServiceManager> service_manager,
                                         std::shared_ptr<Connection> connection,
                                         std::shared_ptr<HeartBeat> heart_beat);
  Session(std::shared_ptr<ServiceManager> service_manager,
          std::shared_ptr<Connection> connection, std::shared_ptr<HeartBeat> heart_beat);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void RegisterHandlers(const std::string& id);
  void SetListener(std::shared_ptr<IListener> listener);
  // The session reads its own messages from now on.
  void Start();

  std::string GetId() const;
  std::shared_ptr<Connection> GetConnection() const { return connection_; }
  std::shared_ptr<HeartBeat> GetHeartBeat() const { return heart_beat_; }
  std::string GetPeerAddress() const;
  std::list<std::string> GetServices() const;
  void SetServices(std::list<std::string> services);
  // This session's mark as a holder of the services it launches (ServiceManager::Init):
  // unique in the process, unlike the id, which a reconnect to the same peer shares.
  uint64_t GetHolder() const { return holder_; }
  // Lets go of the set-up services, in order, now rather than at destruction; each is
  // stopped unless another session under the id holds it (ServiceManager::Release).
  void ReleaseServices();

  // Any thread.
  void SendServiceMessage(const std::string& service_id, const std::string& message);
  // Idempotent: the first call closes and tells the listener; later calls do nothing.
  void Close();
  bool IsClosed() const;

 private:
  // Both return whether a task was posted.
  bool Dispatch(uint16_t id, const nlohmann::json& content);
  bool DispatchError(int code);
  static void ReleaseOnTaskThread(std::shared_ptr<Session> self);
  void DispatchMessage(uint16_t id, const nlohmann::json& content);
  void ReadNext();
  void HearHello(uint16_t id, const nlohmann::json& content);
  void OnHelloResponse(uint16_t id, const nlohmann::json& content);
  void DeliverMessage(uint16_t id, const nlohmann::json& content);
  void OnErrorMessage(int code);
  void HandleError(int code);
  void SayHello();
  void OnHelloTimeout(uint64_t generation);
  // Ends the heart beat, the connection and a pending hello, once; under mutex_.
  // Returns false when the session was closed before.
  bool Teardown();
  void Destroy();

  const uint64_t holder_;
  std::string id_;
  std::shared_ptr<IListener> listener_;
  std::shared_ptr<ServiceManager> service_manager_;
  std::list<std::string> services_;
  std::unordered_map<uint16_t, Handler> handlers_;
  const std::shared_ptr<Connection> connection_;
  const std::shared_ptr<HeartBeat> heart_beat_;
  uint64_t hello_timer_ = 0;
  uint64_t hello_generation_ = 0;
  bool closed_ = false;
  mutable std::recursive_mutex mutex_;
};

}  // namespace crcp
