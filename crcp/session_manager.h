#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace crcp {

class ServiceManager;
class Session;

// The established sessions, keyed by the peer's uuid. Changed on the task thread,
// read from the owner's and the services' threads (GetSession, TransferMsg): the map
// is guarded, and sends happen outside the lock.
class SessionManager : public std::enable_shared_from_this<SessionManager> {
 public:
  explicit SessionManager(std::shared_ptr<ServiceManager> service_manager = nullptr);
  ~SessionManager();
  SessionManager(const SessionManager&) = delete;
  SessionManager& operator=(const SessionManager&) = delete;

  // A session with the same id is closed and replaced. The services under the id are
  // the newcomer's from its set-up on: only those the newcomer did not set up are
  // stopped for the old one, and the old one's destruction stops nothing.
  bool AddSession(std::shared_ptr<Session> session);
  // Posts the close; the session stays in the map until its listener removes it.
  void CloseSession(const std::string& id);
  // Posts the removal of exactly `which`: a replacement stored under the same id
  // meanwhile stays.
  void RemoveSession(const std::string& id, std::weak_ptr<Session> which);
  std::shared_ptr<Session> GetSession(const std::string& id);
  void TransferMsg(const std::string& session_id, const std::string& service_id,
                   const std::string& message);
  // Before a new session with this id launches its services (and when its handshake
  // fails): the services of the live session with this id, which stays until the new
  // one is added; nothing when there is none. A closed one still in the map is taken
  // out and its services stopped now, so that its later destruction cannot stop the
  // new session's.
  std::optional<std::list<std::string>> Predecessor(const std::string& id);
  // Detaches every session's listener, closes and releases it (teardown).
  void CloseAll();

 private:
  // Closes `session` and stops its services but those in `kept`.
  void Retire(const std::string& id, const std::shared_ptr<Session>& session,
              const std::list<std::string>& kept);

  std::shared_ptr<ServiceManager> service_manager_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Session>> sessions_;
};

}  // namespace crcp
