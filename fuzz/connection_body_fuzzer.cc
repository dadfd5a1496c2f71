// Feeds arbitrary bytes as a received message stream to crcp::Connection over a
// loopback socket pair: framing, the length bound and the body parser must neither
// crash nor read out of bounds, whatever the peer sends.
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>

#include <asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

#include "utils/logger.h"
#include "crcp/connection.h"
#include "crcp/runtime.h"
#include "crcp/tcp_socket.h"
#include "fuzz/loopback_peer.h"

namespace {

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

}  // namespace

// The parsers log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  // A fresh link per input (a message stream has no way back to a clean state), ended
  // by resets so that no input leaves a socket in TIME_WAIT.
  int peer = -1;
  auto connection = std::make_shared<crcp::Connection>(ConnectToPeer(&peer));
  fuzz::LoopbackPeer::Write(peer, data, size);
  // The connection reads what was sent, then the reset.
  fuzz::LoopbackPeer::Reset(peer);
  // Read until the stream ends in an error (every input does: the peer is gone).
  for (int i = 0; i < 64; ++i) {
    auto done = std::make_shared<std::promise<bool>>();
    auto result = done->get_future();
    connection->ReadMessage(
        [done](uint16_t, const nlohmann::json&) { done->set_value(true); },
        [done](int) { done->set_value(false); });
    if (result.wait_for(std::chrono::seconds(2)) != std::future_status::ready) break;
    if (!result.get()) break;
  }
  connection->Close();
  return 0;
}
