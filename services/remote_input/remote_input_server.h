#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "crcp/i_service.h"
#include "services/remote_input/i_data_sink.h"
#include "services/remote_input/i_server_listener.h"

namespace crcp::ril {

// The crcp service through which the receiver's touches and mouse input act on this
// computer. Per crcp session it keeps a control session (ServerSession); for the data it
// owns one input datagram receiver, whose port it announces in its init context and
// whose events go to the data sink (the input simulator).
//
// Only datagrams from the peer address of a session known here reach the sink: each
// InitConnection allows its peer, Disconnect and Shutdown withdraw it.
//
// Injection follows the owner's share: the receiver's start request is taken only on
// a session the owner started (StartSessions, not yet StopSessions) and refused
// otherwise; once no started session is left (stopped, ended or shut down), injection
// is off.
//
// The IService slots come from the session protocol's task thread; SetListener,
// StartSessions and StopSessions from the owner's (GUI) thread.
class RemoteInputServer : public crcp::IService {
 public:
  static constexpr const char* kServiceId = "remote_input.r";
  static constexpr const char* kPeerServiceId = "remote_input.s";

  // The data receiver is created here (bound later, by the first InitConnection, to the
  // first free port of crcp::Config's range). Throws std::system_error when its socket
  // cannot be opened.
  explicit RemoteInputServer(std::shared_ptr<IDataSink> sink);
  ~RemoteInputServer() override;
  RemoteInputServer(const RemoteInputServer&) = delete;
  RemoteInputServer& operator=(const RemoteInputServer&) = delete;

  std::string GetServiceId() override;
  std::string GetPeerServiceId() override;
  void HandleMsg(const std::string& session_id, const std::string& message) override;
  void SetMessageSender(crcp::MessageSender sender) override;
  // {"data_port":N,"version":"R.4.3.5.17"}, or empty text when no data port is bound.
  std::string InitConnection(const std::string& session_id,
                             const std::string& peer_address) override;
  // True when the session is known; the peer's context is not read.
  bool SetupConnection(const std::string& session_id, const std::string& context) override;
  void Disconnect(const std::string& session_id) override;
  // Stops the data receiver and ends every session.
  void Shutdown() override;

  // Given to every existing and later session.
  void SetListener(std::shared_ptr<IServerListener> listener);
  // Start / Stop on every session.
  void StartSessions();
  void StopSessions();

  // The data receiver's port, 0 until bound.
  uint16_t GetDataPort() const;

 private:
  class RemoteInputServerImpl;
  std::unique_ptr<RemoteInputServerImpl> impl_;
};

}  // namespace crcp::ril
