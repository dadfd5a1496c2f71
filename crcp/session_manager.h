#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace crcp {

class Session;

// The established sessions, keyed by the peer's uuid. Changed on the task thread,
// read from the owner's and the services' threads (GetSession, TransferMsg): the map
// is guarded, and sends happen outside the lock.
class SessionManager : public std::enable_shared_from_this<SessionManager> {
 public:
  SessionManager();
  ~SessionManager();
  SessionManager(const SessionManager&) = delete;
  SessionManager& operator=(const SessionManager&) = delete;

  // A session with the same id is closed and replaced; it lets go of its services at
  // once, which stops those the newcomer does not hold (ServiceManager::Release).
  bool AddSession(std::shared_ptr<Session> session);
  // Posts the close; the session stays in the map until its listener removes it.
  void CloseSession(const std::string& id);
  // Posts the removal of exactly `which`: a replacement stored under the same id
  // meanwhile stays.
  void RemoveSession(const std::string& id, std::weak_ptr<Session> which);
  std::shared_ptr<Session> GetSession(const std::string& id);
  void TransferMsg(const std::string& session_id, const std::string& service_id,
                   const std::string& message);
  // Detaches every session's listener, closes and releases it (teardown).
  void CloseAll();

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Session>> sessions_;
};

}  // namespace crcp
