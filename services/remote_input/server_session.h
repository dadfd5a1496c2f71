#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <nlohmann/json.hpp>

#include "services/remote_input/i_data_sink.h"
#include "services/remote_input/i_server_listener.h"

namespace crcp::ril {

// Error codes of the control channel.
constexpr int kErrorIllegalMessage = -3001;
constexpr int kErrorUnknownMessage = -3006;
constexpr int kErrorStartRefused = -3007;

// The control channel of remote input for one crcp session: JSON control messages
// carried in service messages, through which either side starts or stops injection.
//
// Received messages are parsed on the caller's thread (the session protocol's task
// thread) and handled on the session's own worker, one at a time in arrival order;
// the listener is called there too. Start and Stop run on the caller's thread (the
// GUI). A session must not be destroyed from its own listener's callbacks: the
// destructor waits for the worker.
//
// The receiver acts only within what the owner started: its start request is taken
// between the owner's Start and Stop (the user shares, with touch allowed), and
// refused at any other time with the start response {"content":{"result":false},
// "id":100}, the protocol's refusal, leaving injection off.
class ServerSession {
 public:
  // Sends one control message's text to the receiver's side of this session.
  using Sender = std::function<void(const std::string& message)>;

  ServerSession(std::string session_id, std::shared_ptr<IDataSink> sink, Sender sender);
  // Lets the handlers already posted run, then joins the worker.
  ~ServerSession();
  ServerSession(const ServerSession&) = delete;
  ServerSession& operator=(const ServerSession&) = delete;

  void SetListener(std::shared_ptr<IServerListener> listener);
  // Enables injection and asks the receiver to start ({"id":0}); from here on the
  // receiver's own start requests are taken.
  void Start();
  // Disables injection and asks the receiver to stop ({"id":2}); from here on the
  // receiver's start requests are refused.
  void Stop();
  // Between Start and Stop.
  bool OwnerStarted() const { return owner_started_.load(); }
  // One received control message.
  void MessageDispatch(const std::string& message);

  const std::string& SessionId() const { return session_id_; }
  // True on this session's own worker, where the session must not be destroyed.
  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  using Handler = std::function<void(const nlohmann::json& content)>;

  void DoStart(const nlohmann::json& content);
  void DoStop(const nlohmann::json& content);
  void OnStart(const nlohmann::json& content);
  void OnStop(const nlohmann::json& content);
  void OnErrorMessage(const nlohmann::json& content);

  // Runs `work` on the worker; an exception from it is logged and reported as -3001,
  // and the worker goes on with the next message.
  void Post(uint16_t id, std::function<void()> work);
  void PostError(int code);
  void ReportError(int code);
  void Send(uint16_t id);
  void SetSinkEnabled(bool enabled);
  std::shared_ptr<IServerListener> Listener() const;
  void RunWorker();

  const std::string session_id_;
  const std::shared_ptr<IDataSink> sink_;
  const Sender sender_;
  // Filled by the constructor and only read afterwards.
  std::unordered_map<uint16_t, Handler> handlers_;
  // Whether the owner started the session, the sink's flag as far as this session sets
  // it, and the messages that tell the receiver of a change go together under
  // state_mutex_, so that neither side's start overtakes the other side's stop. The
  // sender writes synchronously and never calls back into the session. The flag is
  // atomic for OwnerStarted, read without the lock.
  std::mutex state_mutex_;
  std::atomic<bool> owner_started_{false};
  mutable std::mutex listener_mutex_;
  std::shared_ptr<IServerListener> listener_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> guard_;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace crcp::ril
