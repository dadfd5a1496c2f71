// The receiver's remote-input and device-info sides against the client's real services,
// connected by the session-protocol client on loopback.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <nlohmann/json.hpp>

#include "crcp/config.h"
#include "crcp/crcp.h"
#include "crcp/service_manager.h"
#include "platform/input/recording_mouse.h"
#include "platform/input/sim_hid_bus.h"
#include "platform/input/sim_window_system.h"
#include "platform/system/sim_system_facts.h"
#include "services/device_info/device_info_offer.h"
#include "services/remote_input/mouse_device.h"
#include "services/remote_input/remote_input_server.h"
#include "services/remote_input/simulator.h"
#include "services/remote_input/touch_device.h"
#include "tests/receiver/device_info_side.h"
#include "tests/receiver/nested_json.h"
#include "tests/receiver/remote_input_side.h"
#include "tests/receiver/session_receiver.h"
#include "tests/receiver/wire_heart_beat.h"
#include "tests/support/event_recorder.h"
#include "utils/logger.h"

namespace receiver {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
constexpr milliseconds kWait{5000};

// The process logger writes its real file into a private folder, so that a test can
// measure what a hostile peer makes it write. Set up before anything logs.
class LogFolder {
 public:
  LogFolder() {
    char folder[] = "/tmp/castora-sides-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return;
    root_ = folder;
    ::setenv("APPDATA", folder, 1);
    zorvax::utils::logger::Init("Castora");
  }
  ~LogFolder() {
    std::error_code ec;
    if (!root_.empty() && !std::getenv("KEEPLOGS")) std::filesystem::remove_all(root_, ec);
  }
  // The lines the client wrote (the reference receiver logs into the same file under
  // its own tags) and their bytes.
  std::pair<size_t, size_t> ClientLines() const {
    zorvax::utils::logger::Flush();
    size_t lines = 0;
    size_t bytes = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_ + "/Castora/log", ec)) {
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) {
        if (line.find("[RECEIVER") != std::string::npos) continue;
        ++lines;
        bytes += line.size() + 1;
      }
    }
    return {lines, bytes};
  }
  bool Ready() const { return !root_.empty(); }

 private:
  std::string root_;
};
const LogFolder& Logs() {
  static const LogFolder folder;
  return folder;
}
const bool kLogFolderReady = Logs().Ready();

// Waits, bounded, for a value to appear.
template <typename T>
class Slot {
 public:
  void Set(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
    cv_.notify_all();
  }
  std::optional<T> Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, kWait, [&] { return value_.has_value(); });
    std::optional<T> value = std::move(value_);
    value_.reset();
    return value;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::optional<T> value_;
};

class Listener : public crcp::ril::IServerListener, public testing_support::EventRecorder {
 public:
  void OnStart() override { Add("start"); }
  void OnStop() override { Add("stop"); }
  void OnError(int code) override { Add("error " + std::to_string(code)); }

 public:
  Listener() : EventRecorder(kWait) {}
};

class ServiceSidesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    crcp::Config::Instance().SetBindAddress("127.0.0.1");
    const uint16_t base = holder_.local_endpoint().port();
    crcp::Config::Instance().SetPorts(static_cast<uint16_t>(base + 1),
                                      static_cast<uint16_t>(base + 20));

    // The client: a simulated touch device behind the simulator, and device info.
    hid_ = std::make_shared<platform::input::SimHidDevice>(
        platform::input::HidDeviceInfo{"sim:touch", 0x001F, 0xBA1C, 0xFF00, 0x01});
    auto bus = std::make_shared<platform::input::SimHidBus>();
    bus->AddDevice(hid_);
    std::vector<std::unique_ptr<crcp::ril::IInputDevice>> devices;
    devices.push_back(std::make_unique<crcp::ril::TouchDevice>(
        platform::input::kNullWindow, bus, std::make_shared<platform::input::SimWindowSystem>()));
    devices.push_back(std::make_unique<crcp::ril::MouseDevice>(
        std::make_shared<platform::input::RecordingMouse>()));
    simulator_ = std::make_shared<crcp::ril::Simulator>(1920, 1080, std::move(devices));
    ASSERT_TRUE(simulator_->Open());
    input_ = std::make_shared<crcp::ril::RemoteInputServer>(simulator_);
    input_->SetListener(listener_);
    facts_.host_name = platform::system::SystemFact::Of("Laptop \"7\"");
    facts_.user_name = platform::system::SystemFact::Of("Ren\xC3\xA9");
    info_ = std::make_shared<crcp::info::DeviceInfoOffer>(facts_);
    manager_->AddService(input_);
    manager_->AddService(info_);

    // The receiver offers both services.
    SessionReceiver::Options options;
    options.uuid = "display-7";
    receiver_ = std::make_unique<SessionReceiver>(options);
    remote_side_ = std::make_shared<RemoteInputSide>(receiver_.get(), RemoteInputSide::Options{});
    info_side_ = std::make_shared<DeviceInfoSide>(receiver_.get());
    receiver_->OfferService(RemoteInputSide::Offer(remote_side_));
    receiver_->OfferService(DeviceInfoSide::Offer(info_side_));
    ASSERT_TRUE(receiver_->Start());

    client_ = std::make_unique<crcp::Crcp>("client-uuid", manager_);
    client_->SetAuthKey("ABC123");
    Connect();
  }

  void Connect() {
    Slot<std::pair<std::string, int>> connected;
    ASSERT_TRUE(client_->Connect("127.0.0.1", receiver_->Port(),
                                 [&connected](const std::string& id, int code) {
                                   connected.Set({id, code});
                                 }));
    auto result = connected.Wait();
    ASSERT_TRUE(result);
    ASSERT_EQ(result->second, crcp::Crcp::kConnected);
    session_id_ = result->first;
    ASSERT_EQ(session_id_, "display-7");
  }

  void TearDown() override {
    client_.reset();  // closes the session: its services are stopped
    if (receiver_) receiver_->Stop();
    if (input_) input_->Shutdown();
    crcp::Config::Instance().SetBindAddress("");
  }

  asio::io_context io_;
  asio::ip::udp::socket holder_{io_, {asio::ip::make_address_v4("127.0.0.1"), 0}};
  std::shared_ptr<platform::input::SimHidDevice> hid_;
  std::shared_ptr<crcp::ril::Simulator> simulator_;
  std::shared_ptr<Listener> listener_ = std::make_shared<Listener>();
  std::shared_ptr<crcp::ril::RemoteInputServer> input_;
  platform::system::SimSystemFacts facts_;
  std::shared_ptr<crcp::info::DeviceInfoOffer> info_;
  std::shared_ptr<crcp::ServiceManager> manager_ = std::make_shared<crcp::ServiceManager>();
  std::unique_ptr<SessionReceiver> receiver_;
  std::shared_ptr<RemoteInputSide> remote_side_;
  std::shared_ptr<DeviceInfoSide> info_side_;
  std::unique_ptr<crcp::Crcp> client_;
  std::string session_id_;
};

TEST_F(ServiceSidesTest, RemoteInputControlBothWays) {
  ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
  EXPECT_EQ(remote_side_->InitContext(),
            (json{{"data_port", input_->GetDataPort()}, {"version", "R.4.3.5.17"}}));

  // Before the client started anything, the receiver's start is refused as it refuses
  // one: nothing is reported, injection stays off.
  ASSERT_TRUE(remote_side_->RequestStart());
  const auto refusal = remote_side_->WaitForControl(100, kWait);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->text, R"({"content":{"result":false},"id":100})");
  EXPECT_FALSE(simulator_->IsEnabled());

  // Once the client started, the receiver's start (after its own stop) is taken: the
  // client enables injection, answers and reports.
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "start");
  ASSERT_TRUE(remote_side_->RequestStop());
  EXPECT_EQ(listener_->Next(), "stop");
  EXPECT_FALSE(simulator_->IsEnabled());
  ASSERT_TRUE(remote_side_->RequestStart());
  EXPECT_EQ(listener_->Next(), "start");
  EXPECT_TRUE(simulator_->IsEnabled());
  const auto answer = remote_side_->WaitForControl(100, kWait, 1);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->text, R"({"id":100})");
  ASSERT_TRUE(remote_side_->RequestStop());
  EXPECT_EQ(listener_->Next(), "stop");
  EXPECT_FALSE(simulator_->IsEnabled());
  ASSERT_TRUE(remote_side_->WaitForControl(102, kWait, 1));

  // The client starts; the receiver accepts, then refuses.
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "start");
  remote_side_->SetAcceptStart(false);
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "error -3007");
  input_->StopSessions();
  EXPECT_EQ(listener_->Next(), "stop");
  ASSERT_TRUE(remote_side_->WaitForControl(0, kWait, 2));
  ASSERT_TRUE(remote_side_->WaitForControl(2, kWait));
  // Stopped by the client: the receiver's start is refused again.
  ASSERT_TRUE(remote_side_->RequestStart());
  const auto second_refusal = remote_side_->WaitForControl(100, kWait, 2);
  ASSERT_TRUE(second_refusal);
  EXPECT_EQ(second_refusal->text, R"({"content":{"result":false},"id":100})");
  EXPECT_FALSE(simulator_->IsEnabled());

  // Errors from the receiver, a malformed one included.
  ASSERT_TRUE(remote_side_->SendError(-5));
  EXPECT_EQ(listener_->Next(), "error -5");
  ASSERT_TRUE(remote_side_->SendControl(65535));
  EXPECT_EQ(listener_->Next(), "error -3001");
  ASSERT_TRUE(remote_side_->SendControl(7));
  EXPECT_EQ(listener_->Next(), "error -3006");
  EXPECT_TRUE(remote_side_->Faults().empty());
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

// A touch from the receiver's script becomes the touch device's exact report; the same
// touch from a stranger's address never gets there.
TEST_F(ServiceSidesTest, TouchDatagramsBecomeReports) {
  ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "start");

  RemoteInputSide::Options stranger_options;
  stranger_options.source_address = "127.0.0.2";
  RemoteInputSide stranger(receiver_.get(), stranger_options);
  ASSERT_TRUE(stranger.OnLaunch(1, remote_side_->InitContext()->dump()));
  ASSERT_TRUE(stranger.SendInputEvents(wire::TouchFrame({{1, 9, 50, 50}}, 9)));
  ASSERT_TRUE(remote_side_->SendInputEvents(wire::TouchFrame({{0, 5, 1000, 600}}, 10, 1)));
  ASSERT_TRUE(hid_->WaitForReports(1, kWait));
  // A second frame from the peer proves the stranger's was dropped, not just late.
  ASSERT_TRUE(remote_side_->SendInputEvents(wire::TouchFrame({{0, -1, 0, 0}}, 11)));
  ASSERT_TRUE(hid_->WaitForReports(2, kWait));

  std::vector<uint8_t> down = {0x40, 0x16, 0x01, 0x07, 0x00, 0xF4, 0x01, 0x2C,
                               0x01, 0x14, 0x00, 0x1E, 0x00, 0,    0,    0,
                               0,    0,    0,    0,    0,    0,    0,    0x01};
  down.resize(65, 0);
  const auto reports = hid_->Reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], down);
}

TEST_F(ServiceSidesTest, DeviceInfoOfferAnswerAndLaterMessage) {
  ASSERT_TRUE(info_side_->WaitForLaunch(kWait));
  EXPECT_EQ(info_side_->ClientOfferText(),
            "{\"deviceName\":\"Laptop \\\"7\\\"\",\"osName\":\"Linux\","
            "\"osVersion\":\"Simulated Linux 1.0\",\"userName\":\"Ren\xC3\xA9\","
            "\"version\":\"R.2.2.6.26\"}");
  EXPECT_TRUE(info_side_->Faults().empty());

  crcp::info::DeviceInfo peer = info_->GetPeerProperties(session_id_);
  EXPECT_EQ(peer.device_name, "Room 1");
  EXPECT_EQ(peer.os_name, "Android");
  EXPECT_EQ(peer.version, "R.2.2.6.26");
  EXPECT_EQ(peer.user_name, "");

  // A later message: the new member is added, a known one keeps its first value.
  ASSERT_TRUE(info_side_->SendProperties({{"deviceName", "Renamed"}, {"userName", "Front desk"}}));
  for (int i = 0; i < 500 && info_->GetPeerProperties(session_id_).user_name.empty(); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  peer = info_->GetPeerProperties(session_id_);
  EXPECT_EQ(peer.user_name, "Front desk");
  EXPECT_EQ(peer.device_name, "Room 1");
}

// Service texts nested 100,000 levels deep are malformed texts: remote input reports an
// illegal message as for text that is not JSON, device information keeps what it had,
// and the session goes on.
TEST_F(ServiceSidesTest, DeeplyNestedServiceTextsAreMalformedTexts) {
  ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
  ASSERT_TRUE(info_side_->WaitForLaunch(kWait));
  for (const std::string& text : {std::string("{"), NestedJson(kHostileDepth),
                                  "{\"id\":0,\"content\":" + NestedJson(kHostileDepth) + "}"}) {
    ASSERT_TRUE(receiver_->SendServiceMessage("remote_input.r", text));
    EXPECT_EQ(listener_->Next(), "error -3001") << text.size();
    ASSERT_TRUE(receiver_->SendServiceMessage(
        "device_info_offer", "{\"userName\":\"x\",\"z\":" + NestedJson(kHostileDepth) + "}"));
  }
  // Still the same session: control and device information work as before.
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "start");
  ASSERT_TRUE(info_side_->SendProperties({{"userName", "Front desk"}}));
  for (int i = 0; i < 500 && info_->GetPeerProperties(session_id_).user_name.empty(); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(info_->GetPeerProperties(session_id_).user_name, "Front desk");
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

// Closing the session ends both services' part of it: the store is gone and the peer's
// datagrams no longer reach the touch device.
TEST_F(ServiceSidesTest, ClosingTheSessionEndsTheServicesPart) {
  ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
  input_->StartSessions();
  EXPECT_EQ(listener_->Next(), "start");
  ASSERT_TRUE(simulator_->IsEnabled());
  client_->CloseSession(session_id_);
  ASSERT_TRUE(receiver_->WaitForClosed(kWait));
  for (int i = 0; i < 500 && input_->SetupConnection(session_id_, ""); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(input_->SetupConnection(session_id_, ""));
  EXPECT_EQ(info_->GetPeerProperties(session_id_).device_name, "");

  // The touch of the share ended with its session (switched off once the session's
  // worker has let go, just after the session left the store), and the former peer is
  // not heard.
  for (int i = 0; i < 500 && simulator_->IsEnabled(); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(simulator_->IsEnabled());
  simulator_->SetEnabled(true);  // even were it on
  ASSERT_TRUE(remote_side_->SendInputEvents(wire::TouchFrame({{0, 5, 1000, 600}}, 12)));
  EXPECT_FALSE(hid_->WaitForReports(1, milliseconds(300)));
  EXPECT_TRUE(receiver_->ProtocolErrors().empty());
}

// The receiver asks to start and at once breaks the packet sequence, so the session is
// dropped while the control session's worker is still sending the start answer through
// it. Whichever thread lets go of the session last, the process survives, every round.
TEST_F(ServiceSidesTest, StartRacingTheSessionsEndIsSurvived) {
  constexpr int kRounds = 15;
  for (int round = 1; round <= kRounds; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
    ASSERT_TRUE(receiver_->WaitForConnection(kWait));
    const int connection = receiver_->ConnectionCount();
    ASSERT_TRUE(remote_side_->RequestStartThenBreakSequence(connection));
    ASSERT_TRUE(receiver_->WaitForClosed(kWait, connection));
    // The session and its control session are gone before the next round connects.
    for (int i = 0; i < 500 && input_->SetupConnection(session_id_, ""); ++i)
      std::this_thread::sleep_for(milliseconds(10));
    ASSERT_FALSE(input_->SetupConnection(session_id_, ""));
    if (round < kRounds) Connect();
  }
  EXPECT_TRUE(remote_side_->Faults().empty());
}

// A peer and a stranger flood every way in: malformed input datagrams from both in
// turn, garbage heart beats from the peer and legal ones from the stranger, malformed
// and unknown control messages, a 1 MiB body and device info with ever more members.
// The session stays up, what the device-info store keeps is bounded, and the log only
// grows by a few hundred lines.
TEST_F(ServiceSidesTest, FloodsKeepTheLogAndTheDeviceInfoBounded) {
  ASSERT_TRUE(Logs().Ready());
  ASSERT_TRUE(remote_side_->WaitForLaunch(kWait));
  ASSERT_TRUE(info_side_->WaitForLaunch(kWait));
  input_->StartSessions();
  ASSERT_EQ(listener_->Next(), "start");
  const auto before = Logs().ClientLines();
  ASSERT_GT(before.first, 0u) << "the client logs into the private folder";

  RemoteInputSide::Options stranger_options;
  stranger_options.source_address = "127.0.0.2";
  RemoteInputSide stranger(receiver_.get(), stranger_options);
  ASSERT_TRUE(stranger.OnLaunch(1, remote_side_->InitContext()->dump()));
  const std::vector<std::vector<uint8_t>> malformed = {
      {0x01, 0x01, 0x00, 0x00},  // type and its inverse disagree
      {0x00, 0xFF, 0x00},        // shorter than a header
      {0x00, 0xFF, 0x00, 0x20},  // announces two events, carries none
  };
  for (int i = 0; i < 6000; ++i) {
    const auto& bytes = malformed[i % malformed.size()];
    ASSERT_TRUE((i % 2 == 0 ? *remote_side_ : stranger).SendDatagram(bytes));
  }

  const auto request = receiver_->WaitForMessage(0, kWait);
  ASSERT_TRUE(request);
  const uint16_t beat_port = request->content["heartBeatPort"].get<uint16_t>();
  asio::ip::udp::socket beater(io_, {asio::ip::make_address_v4("127.0.0.2"), 0});
  const asio::ip::udp::endpoint client_beat(asio::ip::make_address_v4("127.0.0.1"), beat_port);
  for (uint64_t i = 0; i < 2000; ++i) {
    ASSERT_TRUE(receiver_->SendHeartBeatDatagram({0xDE, 0xAD}));
    beater.send_to(asio::buffer(wire::EncodeHeartBeat(wire::MakeHeartBeat(1000 + i))), client_beat);
  }

  // Device info: 40 messages of 2,000 new members each, then one member the store has
  // no room for any more.
  for (int m = 0; m < 40; ++m) {
    json properties = json::object();
    for (int k = 0; k < 2000; ++k) properties[fmt::format("m{}_{}", m, k)] = "value";
    ASSERT_TRUE(info_side_->SendProperties(properties));
  }
  ASSERT_TRUE(info_side_->SendProperties({{"userName", "Front desk"}}));
  // An unterminated string: the parse error quotes all of it.
  ASSERT_TRUE(receiver_->SendServiceMessage("device_info_offer", "\"" + std::string(1 << 20, 'x')));

  for (int i = 0; i < 150; ++i) {
    ASSERT_TRUE(remote_side_->SendControl(7));
    ASSERT_TRUE(receiver_->SendServiceMessage("remote_input.r", "{\"id\":"));
  }
  ASSERT_TRUE(remote_side_->SendError(-77));
  for (;;) {
    auto event = listener_->Next();
    ASSERT_TRUE(event) << "every control message is handled";
    if (*event == "error -77") break;
  }
  // The peer's input still goes through after all that.
  ASSERT_TRUE(remote_side_->SendInputEvents(wire::TouchFrame({{0, 5, 1000, 600}}, 10, 1)));
  ASSERT_TRUE(hid_->WaitForReports(1, kWait));

  EXPECT_TRUE(receiver_->IsConnected());
  EXPECT_EQ(info_->GetPeerProperties(session_id_).user_name, "") << "refused: the store is full";
  EXPECT_EQ(info_->GetPeerProperties(session_id_).device_name, "Room 1");
  const auto after = Logs().ClientLines();
  EXPECT_LT(after.first - before.first, 600u);
  EXPECT_LT(after.second - before.second, 128u * 1024);
}

}  // namespace
}  // namespace receiver
