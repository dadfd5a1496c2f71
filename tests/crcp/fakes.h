#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "crcp/i_service.h"
#include "crcp/session.h"
#include "tests/crcp/loopback.h"

namespace crcp::test {

// A service that records every call as text ("Init:<session>", "Setup:<session>:<ctx>",
// "Disconnect:<session>", "Msg:<session>:<message>") and answers as scripted.
class FakeService : public IService {
 public:
  FakeService(std::string id, std::string peer_id, std::string context = "{}",
              bool setup_ok = true)
      : id_(std::move(id)), peer_id_(std::move(peer_id)), context_(std::move(context)),
        setup_ok_(setup_ok) {}

  std::string GetServiceId() override { return id_; }
  std::string GetPeerServiceId() override { return peer_id_; }
  void HandleMsg(const std::string& session, const std::string& message) override {
    Record("Msg:" + session + ":" + message);
  }
  void SetMessageSender(MessageSender sender) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = std::move(sender);
  }
  std::string InitConnection(const std::string& session, const std::string&) override {
    Record("Init:" + session);
    return context_;
  }
  bool SetupConnection(const std::string& session, const std::string& context) override {
    Record("Setup:" + session + ":" + context);
    return setup_ok_;
  }
  void Disconnect(const std::string& session) override { Record("Disconnect:" + session); }
  void Shutdown() override {}

  void Send(const std::string& session, const std::string& message) {
    MessageSender sender;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sender = sender_;
    }
    if (sender) sender(session, peer_id_, message);
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  size_t Count(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& c : calls_)
      if (c == call) ++n;
    return n;
  }
  Inbox<std::string>& Events() { return events_; }

 private:
  void Record(const std::string& call) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(call);
    }
    events_.Push(call);
  }

  std::string id_, peer_id_, context_;
  bool setup_ok_;
  std::mutex mutex_;
  std::vector<std::string> calls_;
  MessageSender sender_;
  Inbox<std::string> events_;
};

// Records "closed:<id>" and "error:<id>:<code>".
class RecordingSessionListener : public Session::IListener {
 public:
  void OnClosed(const std::string& id) override { events.Push("closed:" + id); }
  void OnError(const std::string& id, int code) override {
    events.Push("error:" + id + ":" + std::to_string(code));
  }
  Inbox<std::string> events;
};

}  // namespace crcp::test
