// Feeds arbitrary bytes as a received message stream to crcp::Connection over a
// loopback socket pair: framing, the length bound and the body parser must neither
// crash nor read out of bounds, whatever the peer sends.
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <nlohmann/json.hpp>

#include "utils/logger.h"
#include "crcp/connection.h"
#include "crcp/runtime.h"
#include "crcp/tcp_socket.h"

namespace {

struct Pair {
  asio::io_context context;
  asio::ip::tcp::socket peer{context};
  std::shared_ptr<crcp::TcpSocket> ours;
};

std::unique_ptr<Pair> MakePair() {
  auto pair = std::make_unique<Pair>();
  asio::ip::tcp::acceptor acceptor(pair->context, {asio::ip::make_address("127.0.0.1"), 0});
  asio::ip::tcp::socket ours(crcp::Runtime::GetIoContext());
  ours.connect(acceptor.local_endpoint());
  acceptor.accept(pair->peer);
  pair->ours = std::make_shared<crcp::TcpSocket>(std::move(ours));
  return pair;
}

}  // namespace

// The parsers log every rejected input; the fuzzer would only fill log files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zorvax::utils::logger::GetLogger("ZORVAX")->set_level(spdlog::level::off);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  auto pair = MakePair();
  auto connection = std::make_shared<crcp::Connection>(pair->ours);
  std::error_code ec;
  asio::write(pair->peer, asio::buffer(data, size), ec);
  pair->peer.shutdown(asio::ip::tcp::socket::shutdown_send, ec);
  // Read until the stream ends in an error (every input does: the peer stops sending).
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
