#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace crcp {

class AuthManager;
class Connection;
class ServiceManager;
class Session;

// Turns a freshly connected control connection into an established session: sends
// the handshake (id 0), checks the answer (id 100), asks the peer to launch the
// services both sides have (id 4), sets up what the peer answered (id 101) and hands
// the session, or an empty pointer on failure, to the established handler. The whole
// exchange is bounded by one 5000 ms timer.
//
// Runs on the task thread only (Establish is called from a task). Every result is
// tied to its attempt: an answer, time-out or report of an earlier attempt does
// nothing. What was launched and not set up is let go of when the launch ends, on
// success too; set-up services are let go of when the session goes.
//
// A peer may answer with the uuid of a session that is still live (a reconnect to the
// same receiver). That session stays until this one is established and replaces it;
// meanwhile both hold the services under the id, and whichever ends first stops only
// what the other does not hold (ServiceManager::Release).
class CrcpClient : public std::enable_shared_from_this<CrcpClient> {
 public:
  using EstablishedHandler = std::function<void(std::shared_ptr<Session>)>;
  static constexpr unsigned kEstablishTimeoutMs = 5000;
  static constexpr const char* kFixedKey = "tolv";

  CrcpClient(EstablishedHandler handler, std::shared_ptr<ServiceManager> service_manager,
             std::shared_ptr<AuthManager> auth_manager);
  ~CrcpClient();
  CrcpClient(const CrcpClient&) = delete;
  CrcpClient& operator=(const CrcpClient&) = delete;

  void Establish(std::shared_ptr<Connection> connection);
  // Abandons the handshake in progress without reporting; posted ahead of every
  // waiting task.
  void Cancel();

 private:
  void ShakeHand(uint64_t attempt);
  void OnShakeHand(uint64_t attempt, uint16_t id, const nlohmann::json& content);
  void LaunchService(uint64_t attempt, const std::list<std::string>& names);
  void OnLaunchService(uint64_t attempt, uint16_t id, const nlohmann::json& content);
  void ReadAnswer(uint64_t attempt, const std::string& task,
                  void (CrcpClient::*handler)(uint64_t, uint16_t, const nlohmann::json&));
  bool IsCurrent(uint64_t attempt) const;
  void Succeed(uint64_t attempt);
  void Fail(uint64_t attempt);
  void PostCallBack(uint64_t attempt);
  void CallBack(uint64_t attempt);
  void OnTimeout(uint64_t attempt);
  void DoCancel();
  void StopTimer();
  void AbandonSession();
  // Lets go of what `session` launched and did not set up.
  void ReleaseLaunched(const Session& session);

  std::shared_ptr<ServiceManager> service_manager_;
  std::shared_ptr<AuthManager> auth_manager_;
  std::shared_ptr<Session> session_;
  EstablishedHandler established_handler_;
  uint64_t establish_timer_ = 0;  // non-zero: a handshake is in progress
  uint64_t attempt_ = 0;
  std::list<std::string> launched_;  // launched and not set up
  std::list<std::string> set_up_;
};

}  // namespace crcp
