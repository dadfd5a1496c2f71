// The remote-input service driven through its crcp::IService slots, as the session
// protocol drives it, with a recording sender, sink and listener.
#include "services/remote_input/remote_input_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <nlohmann/json.hpp>

#include "crcp/config.h"
#include "services/remote_input/input_event_codec.h"
#include "tests/support/log_capture.h"

namespace crcp::ril {
namespace {

using asio::ip::udp;
using std::chrono::milliseconds;
constexpr milliseconds kWait{3000};

// Records what reaches it and lets a test wait for a count, bounded.
template <typename T>
class Record {
 public:
  void Add(T item) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(item));
    cv_.notify_all();
  }
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, kWait, [&] { return items_.size() >= count; });
  }
  std::vector<T> Items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<T> items_;
};

class RecordingSink : public IDataSink {
 public:
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool OnData(const std::vector<InputEvent>& events) override {
    for (const auto& e : events) seconds.Add(e.sec);
    return true;
  }
  bool enabled() const { return enabled_; }
  Record<uint32_t> seconds;  // the sec field of every delivered event

 private:
  std::atomic<bool> enabled_{false};
};

class RecordingListener : public IServerListener {
 public:
  void OnStart() override {
    events.Add("start");
    if (throw_on_start) throw std::runtime_error("listener failed");
  }
  void OnStop() override { events.Add("stop"); }
  void OnError(int code) override { events.Add("error " + std::to_string(code)); }
  Record<std::string> events;
  std::atomic<bool> throw_on_start{false};
};

using Sent = std::tuple<std::string, std::string, std::string>;  // session, service, text

class RemoteInputServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::Instance().SetBindAddress("127.0.0.1");
    // A range just above a free ephemeral port, so no fixed port is needed.
    const uint16_t base = holder_.local_endpoint().port();
    Config::Instance().SetPorts(static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 20));
    server_ = std::make_unique<RemoteInputServer>(sink_);
    server_->SetListener(listener_);
    server_->SetMessageSender(
        [this](const std::string& session, const std::string& service, const std::string& text) {
          sent_.Add({session, service, text});
        });
  }
  void TearDown() override {
    server_.reset();
    Config::Instance().SetBindAddress("");
  }

  asio::io_context io_;
  udp::socket holder_{io_, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0)};
  std::shared_ptr<RecordingSink> sink_ = std::make_shared<RecordingSink>();
  std::shared_ptr<RecordingListener> listener_ = std::make_shared<RecordingListener>();
  Record<Sent> sent_;
  std::unique_ptr<RemoteInputServer> server_;
};

TEST_F(RemoteInputServerTest, IdentityAndInitContext) {
  EXPECT_EQ(server_->GetServiceId(), "remote_input.r");
  EXPECT_EQ(server_->GetPeerServiceId(), "remote_input.s");
  const std::string first = server_->InitConnection("s1", "127.0.0.1");
  const uint16_t port = server_->GetDataPort();
  const auto ports = Config::Instance().GetPorts();
  EXPECT_GE(port, ports.first);
  EXPECT_LE(port, ports.second);
  EXPECT_EQ(first, R"({"data_port":)" + std::to_string(port) + R"(,"version":"R.4.3.5.17"})");
  // A later session announces the same port.
  EXPECT_EQ(server_->InitConnection("s2", "127.0.0.1"), first);
  EXPECT_TRUE(server_->SetupConnection("s1", "ignored"));
  EXPECT_TRUE(server_->SetupConnection("s2", ""));
  EXPECT_FALSE(server_->SetupConnection("never", "{}"));
  server_->Disconnect("s1");
  EXPECT_FALSE(server_->SetupConnection("s1", "{}"));
  EXPECT_TRUE(server_->SetupConnection("s2", "{}"));
  server_->Shutdown();
  EXPECT_FALSE(server_->SetupConnection("s2", "{}"));
}

TEST_F(RemoteInputServerTest, NoFreePortGivesAnEmptyContextButKeepsTheSession) {
  const uint16_t taken = holder_.local_endpoint().port();
  Config::Instance().SetPorts(taken, taken);
  EXPECT_EQ(server_->InitConnection("s1", "127.0.0.1"), "");
  EXPECT_EQ(server_->GetDataPort(), 0);
  EXPECT_TRUE(server_->SetupConnection("s1", "{}"));
}

// Each received control message, what the client answers and what the listener hears.
// Only the receiver's start depends on whether the owner started the session (the user
// shares with touch allowed): all the other rows are the same either way.
TEST_F(RemoteInputServerTest, ControlMessageTable) {
  struct Case {
    const char* message;
    const char* answer;  // nullptr: nothing sent
    const char* report;  // nullptr: nothing reported
    bool enabled_after;
    const char* log;  // a line piece the case must log
    bool owner_started = false;
  };
  const std::vector<Case> cases = {
      {R"({"id":0})", R"({"id":100})", "start", true, "receive start request from client", true},
      // Nothing shared: refused as the receiver refuses, injection stays off.
      {R"({"id":0})", R"({"content":{"result":false},"id":100})", nullptr, false,
       "start request refused"},
      {R"({"id":2})", R"({"id":102})", "stop", false, "receive stop request from client", true},
      {R"({"id":2})", R"({"id":102})", "stop", false, "receive stop request from client"},
      {R"({"id":100,"content":{"result":true}})", nullptr, "start", false,
       R"(dispatch message 100 with content: {"result":true})"},
      {R"({"id":100,"content":{"result":false}})", nullptr, "error -3007", false,
       "received start response from client"},
      {R"({"id":100})", nullptr, "error -3001", false, "Bad message content: null: "},
      {R"({"id":100,"content":{"result":1}})", nullptr, "error -3001", false,
       R"(Bad message content: {"result":1}: )"},
      {R"({"id":102})", nullptr, "stop", false, "received stop response from client"},
      {R"({"id":65535,"content":{"code":-5}})", nullptr, "error -5", false,
       "dispatch message 65535"},
      {R"({"id":65535})", nullptr, "error -3001", false, "Bad message content: null: "},
      {R"({"id":65535,"content":{"code":"x"}})", nullptr, "error -3001", false,
       "Bad message content"},
      {R"({"id":65535,"content":{"code":4294967296}})", nullptr, "error -3001", false,
       "Bad message content"},
      {R"({"id":7})", nullptr, "error -3006", false, "unknown message id: 7"},
      {R"({"id":65536})", nullptr, "error -3001", false,
       R"(Illegal message {"id":65536}: )"},  // must not wrap to a start
      {R"({"content":{}})", nullptr, "error -3001", false, R"(Illegal message {"content":{}}: )"},
      {"not json", nullptr, "error -3001", false, "Illegal message not json: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    // Added before the server's threads exist and removed after they have ended.
    testing_support::ScopedLogCapture log;
    auto sink = std::make_shared<RecordingSink>();
    auto listener = std::make_shared<RecordingListener>();
    Record<Sent> sent;
    auto server = std::make_unique<RemoteInputServer>(sink);
    server->SetListener(listener);
    server->SetMessageSender(
        [&sent](const std::string& session, const std::string& service, const std::string& text) {
          sent.Add({session, service, text});
        });
    server->InitConnection("s1", "127.0.0.1");
    std::vector<Sent> expected;
    if (c.owner_started) {
      server->StartSessions();
      expected.emplace_back("s1", "remote_input.s", R"({"id":0})");
    }
    server->HandleMsg("s1", c.message);
    if (c.answer) expected.emplace_back("s1", "remote_input.s", c.answer);
    ASSERT_TRUE(c.report ? listener->events.WaitFor(1) : sent.WaitFor(expected.size()));
    // Read before the session ends: its end turns injection off.
    EXPECT_EQ(sink->enabled(), c.enabled_after);
    server->Disconnect("s1");  // joins the worker: everything it would do is done
    EXPECT_EQ(sink->enabled(), false) << "a session's end ends its touch";
    const std::vector<std::string> reports =
        c.report ? std::vector<std::string>{c.report} : std::vector<std::string>{};
    EXPECT_EQ(listener->events.Items(), reports);
    EXPECT_EQ(sent.Items(), expected);
    server.reset();  // every thread that logs has ended
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
  }
}

TEST_F(RemoteInputServerTest, AFailingHandlerIsReportedAndTheSessionGoesOn) {
  server_->InitConnection("s1", "127.0.0.1");
  server_->StartSessions();
  listener_->throw_on_start = true;
  server_->HandleMsg("s1", R"({"id":0})");
  ASSERT_TRUE(listener_->events.WaitFor(2));
  listener_->throw_on_start = false;
  server_->HandleMsg("s1", R"({"id":65535})");  // no code
  server_->HandleMsg("s1", R"({"id":2})");
  ASSERT_TRUE(listener_->events.WaitFor(4));
  EXPECT_EQ(listener_->events.Items(),
            (std::vector<std::string>{"start", "error -3001", "error -3001", "stop"}));
}

TEST_F(RemoteInputServerTest, UnknownSessionIsIgnored) {
  server_->HandleMsg("nobody", R"({"id":0})");
  server_->Disconnect("nobody");
  server_->InitConnection("s1", "127.0.0.1");
  server_->Disconnect("s1");
  EXPECT_TRUE(listener_->events.Items().empty());
  EXPECT_TRUE(sent_.Items().empty());
  EXPECT_FALSE(sink_->enabled());
}

TEST_F(RemoteInputServerTest, StartAndStopReachEverySession) {
  server_->InitConnection("a", "127.0.0.1");
  server_->InitConnection("b", "127.0.0.1");
  server_->StartSessions();
  EXPECT_TRUE(sink_->enabled());
  server_->StopSessions();
  EXPECT_FALSE(sink_->enabled());
  auto sent = sent_.Items();
  ASSERT_EQ(sent.size(), 4u);
  // In the server's session order, the same for both rounds.
  EXPECT_EQ(std::get<2>(sent[0]), R"({"id":0})");
  EXPECT_EQ(std::get<2>(sent[1]), R"({"id":0})");
  EXPECT_EQ(std::get<2>(sent[2]), R"({"id":2})");
  EXPECT_EQ(std::get<2>(sent[3]), R"({"id":2})");
  EXPECT_NE(std::get<0>(sent[0]), std::get<0>(sent[1]));
  EXPECT_EQ(std::get<0>(sent[0]), std::get<0>(sent[2]));
  for (const auto& s : sent) EXPECT_EQ(std::get<1>(s), "remote_input.s");
  // A refusing answer reports -3007 and leaves injection on.
  server_->StartSessions();
  server_->HandleMsg("a", R"({"id":100,"content":{"result":false}})");
  ASSERT_TRUE(listener_->events.WaitFor(1));
  EXPECT_EQ(listener_->events.Items(), std::vector<std::string>{"error -3007"});
  EXPECT_TRUE(sink_->enabled());
  // Injection ends with the last session the owner started, not before.
  server_->Disconnect("a");
  EXPECT_TRUE(sink_->enabled());
  server_->Disconnect("b");
  EXPECT_FALSE(sink_->enabled());
}

void SendFrom(const char* from, uint16_t to_port, uint32_t sec) {
  asio::io_context io;
  udp::socket socket(io, udp::endpoint(asio::ip::make_address_v4(from), 0));
  const auto bytes = Serialize({{sec, 0, 0, 0, 0}});
  socket.send_to(asio::buffer(bytes),
                 udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), to_port));
}

// Only the peers of the sessions known to the server reach the sink.
TEST_F(RemoteInputServerTest, DatagramsOnlyFromASessionsPeer) {
  ASSERT_NE(server_->InitConnection("a", "127.0.0.1"), "");
  const uint16_t port = server_->GetDataPort();
  SendFrom("127.0.0.2", port, 1);  // stranger: dropped
  SendFrom("127.0.0.1", port, 2);
  ASSERT_TRUE(sink_->seconds.WaitFor(1));
  server_->InitConnection("b", "127.0.0.2");
  server_->Disconnect("a");
  SendFrom("127.0.0.1", port, 3);  // its session has gone: dropped
  SendFrom("127.0.0.2", port, 4);
  ASSERT_TRUE(sink_->seconds.WaitFor(2));
  EXPECT_EQ(sink_->seconds.Items(), (std::vector<uint32_t>{2, 4}));
}

// A sink that holds one switch of the flag open (until `other` ends, a second at most)
// when it is the `held` value and comes from another thread than the test's: the moment
// a concurrent call could overtake it.
class HoldingSink : public RecordingSink {
 public:
  HoldingSink(bool held, std::thread::id test) : held_(held), test_(test) {}
  void SetEnabled(bool enabled) override {
    if (enabled == held_ && std::this_thread::get_id() != test_ && !used_.exchange(true)) {
      std::unique_lock<std::mutex> lock(mutex_);
      holding_ = true;
      cv_.notify_all();
      cv_.wait_for(lock, std::chrono::seconds(1), [&] { return other_done_; });
    }
    RecordingSink::SetEnabled(enabled);
  }
  // Runs `other` on a thread of its own once a switch is held, and waits for it.
  std::thread RunWhileHeld(std::function<void()> other) {
    return std::thread([this, other = std::move(other)] {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, kWait, [&] { return holding_; })) return;
      }
      other();
      std::lock_guard<std::mutex> lock(mutex_);
      other_done_ = true;
      cv_.notify_all();
    });
  }

 private:
  const bool held_;
  const std::thread::id test_;
  std::atomic<bool> used_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
  bool holding_ = false;
  bool other_done_ = false;
};

// Checking whether the owner started and switching injection are one step with the
// other side's switch: the owner's stop while the receiver's start is taken, and the
// owner's start while a session's end turns injection off, are never overtaken.
TEST_F(RemoteInputServerTest, NoSwitchOfInjectionIsOvertaken) {
  const auto test_thread = std::this_thread::get_id();
  {
    auto sink = std::make_shared<HoldingSink>(true, test_thread);
    RemoteInputServer server(sink);
    server.SetMessageSender([](const std::string&, const std::string&, const std::string&) {});
    server.SetListener(listener_);
    server.InitConnection("s1", "127.0.0.1");
    server.StartSessions();
    std::thread gui = sink->RunWhileHeld([&] { server.StopSessions(); });
    server.HandleMsg("s1", R"({"id":0})");  // taken on the worker, which the sink holds
    gui.join();
    ASSERT_TRUE(listener_->events.WaitFor(1));
    EXPECT_FALSE(sink->enabled()) << "the stop left injection on";
  }
  {
    auto sink = std::make_shared<HoldingSink>(false, test_thread);
    RemoteInputServer server(sink);
    server.InitConnection("a", "127.0.0.1");
    server.InitConnection("b", "127.0.0.1");
    // The end of "a", with nothing shared, holds its switch off while the owner starts.
    std::thread task([&] { server.Disconnect("a"); });
    std::thread gui = sink->RunWhileHeld([&] { server.StartSessions(); });
    task.join();
    gui.join();
    EXPECT_TRUE(sink->enabled()) << "the end of another session undid the start";
  }
}

// The GUI thread starts and stops while the task thread adds and removes sessions and
// delivers messages.
TEST_F(RemoteInputServerTest, GuiAndTaskThreadsMeetSafely) {
  std::atomic<bool> done{false};
  std::thread gui([&] {
    while (!done) {
      server_->StartSessions();
      server_->StopSessions();
      server_->SetListener(listener_);
    }
  });
  for (int i = 0; i < 200; ++i) {
    const std::string id = "s" + std::to_string(i % 3);
    server_->InitConnection(id, "127.0.0.1");
    server_->HandleMsg(id, R"({"id":102})");
    if (i % 2) server_->Disconnect(id);
  }
  done = true;
  gui.join();
  server_->Shutdown();
  EXPECT_FALSE(server_->SetupConnection("s0", ""));
}

}  // namespace
}  // namespace crcp::ril
