// Plays the receiver of a whole control session: the input is a list of messages (see
// below) answering the client's handshake and launch requests and then arriving on the
// established session: the handshake answer, the launch answer, hellos, hello answers,
// service messages (relayed to the device-info service and to a second service) and
// unknown ids. The client must neither crash nor hang, whatever comes in which order.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include <asio/ip/tcp.hpp>

#include "crcp/auth_manager.h"
#include "crcp/config.h"
#include "crcp/connection.h"
#include "crcp/crcp_client.h"
#include "crcp/i_service.h"
#include "crcp/message_id.h"
#include "crcp/message_packet.h"
#include "crcp/runtime.h"
#include "crcp/service_manager.h"
#include "crcp/session.h"
#include "crcp/tcp_socket.h"
#include "fuzz/loopback_peer.h"
#include "fuzz/once_signal.h"
#include "platform/system/sim_system_facts.h"
#include "services/device_info/device_info_offer.h"
#include "utils/logger.h"

namespace {

// A service that takes part in every session and ignores what it is told.
class QuietService : public crcp::IService {
 public:
  std::string GetServiceId() override { return "video_mirror.c"; }
  std::string GetPeerServiceId() override { return "video_mirror.s"; }
  void HandleMsg(const std::string&, const std::string&) override {}
  void SetMessageSender(crcp::MessageSender) override {}
  std::string InitConnection(const std::string&, const std::string&) override { return "{}"; }
  bool SetupConnection(const std::string&, const std::string&) override { return true; }
  void Disconnect(const std::string&) override {}
  void Shutdown() override {}
};

// Resolved once the established session ends (or the handshake failed). A session
// error closes the session, as the client's session listener does.
class Ended : public crcp::Session::IListener {
 public:
  void Watch(std::shared_ptr<crcp::Session> session) { session_ = session; }
  void OnClosed(const std::string&) override { Set(); }
  void OnError(const std::string&, int) override {
    if (auto session = session_.lock()) session->Close();
    Set();
  }
  void Set() { signal_.Set(); }
  std::future<void> Future() { return signal_.Future(); }

 private:
  std::weak_ptr<crcp::Session> session_;
  fuzz::OnceSignal signal_;
};

// Input records: u8 message (an index into kIds; one past the end is an unknown id),
// u16 length (big-endian, cut at the input's end), then the content's JSON text, which
// goes into {"id":<id>,"content":<text>} as the receiver would frame it.
constexpr uint16_t kIds[] = {crcp::kShakeHandResponse, crcp::kLaunchServiceResponse,
                             crcp::kHello, crcp::kHelloResponse, crcp::kServiceMessage};

std::vector<uint8_t> Messages(const uint8_t* data, size_t size) {
  std::vector<uint8_t> stream;
  uint32_t seq = 0;
  size_t at = 0;
  while (at + 3 <= size) {
    const size_t which = data[at] % (std::size(kIds) + 1);
    const uint16_t id = which < std::size(kIds) ? kIds[which] : 777;
    size_t length = static_cast<size_t>(data[at + 1]) << 8 | data[at + 2];
    at += 3;
    if (length > size - at) length = size - at;
    std::string body = "{\"id\":" + std::to_string(id) + ",\"content\":" +
                       std::string(reinterpret_cast<const char*>(data + at), length) + "}";
    at += length;
    const auto bytes = crcp::MessagePacket::Serialize(
        crcp::MessagePacket(++seq, std::vector<uint8_t>(body.begin(), body.end())));
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  return stream;
}

struct World {
  platform::system::SimSystemFacts facts;
  std::shared_ptr<crcp::ServiceManager> services = std::make_shared<crcp::ServiceManager>();
  std::shared_ptr<crcp::AuthManager> auth = std::make_shared<crcp::AuthManager>();
  World() {
    services->AddService(std::make_shared<crcp::info::DeviceInfoOffer>(facts));
    services->AddService(std::make_shared<QuietService>());
    auth->SetAuthKey("ABC123");
  }
};

// Our side of a fresh link to the loopback peer, on the runtime's I/O context; the
// peer's descriptor goes to `peer`. Ours closes with a reset too.
std::shared_ptr<crcp::TcpSocket> ConnectToPeer(int* peer) {
  asio::ip::tcp::socket ours(crcp::Runtime::GetIoContext());
  ours.connect({asio::ip::make_address(fuzz::LoopbackPeer::kAddress),
                fuzz::LoopbackPeer::Instance().Port()});
  ours.set_option(asio::socket_base::linger(true, 0));
  *peer = fuzz::LoopbackPeer::Instance().Accept();
  return std::make_shared<crcp::TcpSocket>(std::move(ours));
}

void DrainTasks() {
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  crcp::Runtime::PostTask("fuzz drain", [done] { done->set_value(); });
  future.wait_for(std::chrono::seconds(5));
}

}  // namespace

// The session logs every rejected message; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  crcp::Config::Instance().SetBindAddress("127.0.0.1");
  crcp::Config::Instance().SetUuid("fuzz-client");
  // Heart-beat ports of their own, clear of the client's and the tests' ranges.
  crcp::Config::Instance().SetPorts(39700, 39799);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static World* world = new World();  // lives as long as the process
  const auto stream = Messages(data, size);

  auto ended = std::make_shared<Ended>();
  auto finished = ended->Future();
  // The established session, held here as the client's session manager would.
  auto held = std::make_shared<std::shared_ptr<crcp::Session>>();
  auto client = std::make_shared<crcp::CrcpClient>(
      [ended, held](std::shared_ptr<crcp::Session> session) {
        if (!session) return ended->Set();
        *held = session;
        ended->Watch(session);
        session->SetListener(ended);
        session->Start();
      },
      world->services, world->auth);
  int peer = -1;
  auto connection = std::make_shared<crcp::Connection>(ConnectToPeer(&peer));
  crcp::Runtime::PostTask("fuzz establish", [client, connection] { client->Establish(connection); });
  fuzz::LoopbackPeer::Write(peer, stream.data(), stream.size());
  // The client reads everything that was sent, then the reset ends the session.
  fuzz::LoopbackPeer::Reset(peer);
  finished.wait_for(std::chrono::seconds(3));
  client->Cancel();
  connection->Close();
  // The session goes on the task thread, after every task that still holds it.
  crcp::Runtime::PostTask("fuzz release", [held] {
    if (*held) (*held)->Close();
    held->reset();
  });
  DrainTasks();
  return 0;
}
