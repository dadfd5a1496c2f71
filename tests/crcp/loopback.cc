#include "tests/crcp/loopback.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <future>

#include <asio/read.hpp>

#include "crcp/runtime.h"
#include "crcp/tcp_socket.h"

namespace crcp::test {

SocketPair MakeSocketPair() {
  SocketPair pair;
  pair.peer_context = std::make_unique<asio::io_context>();
  asio::ip::tcp::acceptor acceptor(*pair.peer_context,
                                   {asio::ip::make_address("127.0.0.1"), 0});
  asio::ip::tcp::socket ours(Runtime::GetIoContext());
  ours.connect(acceptor.local_endpoint());
  pair.peer = std::make_unique<asio::ip::tcp::socket>(*pair.peer_context);
  acceptor.accept(*pair.peer);
  pair.ours = std::make_shared<TcpSocket>(std::move(ours));
  return pair;
}

static void PutBe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

std::vector<uint8_t> Frame(uint32_t seq, const std::string& body, uint32_t version,
                           uint32_t invert, bool custom_invert, uint64_t timestamp,
                           std::optional<uint32_t> len) {
  std::vector<uint8_t> out(64, 0);
  PutBe32(out, 0, seq);
  PutBe32(out, 4, len ? *len : static_cast<uint32_t>(body.size()));
  PutBe32(out, 8, static_cast<uint32_t>(timestamp >> 32));
  PutBe32(out, 12, static_cast<uint32_t>(timestamp));
  PutBe32(out, 16, version);
  PutBe32(out, 20, custom_invert ? invert : ~seq);
  for (char c : body) out.push_back(static_cast<uint8_t>(c));
  return out;
}

void SetReceiveTimeout(asio::ip::tcp::socket& socket, int timeout_ms) {
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
}

// Plain recv: SO_RCVTIMEO bounds it (asio's own read would poll on).
bool RecvAll(asio::ip::tcp::socket& peer, uint8_t* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::recv(peer.native_handle(), out + done, n - done, 0);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

ReadFrame ReadOneFrame(asio::ip::tcp::socket& peer, int timeout_ms) {
  SetReceiveTimeout(peer, timeout_ms);
  ReadFrame frame;
  uint8_t header[64];
  if (!RecvAll(peer, header, 64)) return frame;
  auto be32 = [&](int at) {
    return (uint32_t(header[at]) << 24) | (uint32_t(header[at + 1]) << 16) |
           (uint32_t(header[at + 2]) << 8) | uint32_t(header[at + 3]);
  };
  frame.seq = be32(0);
  uint32_t len = be32(4);
  if (len > (1u << 24)) return frame;
  frame.body.resize(len);
  frame.ok = RecvAll(peer, reinterpret_cast<uint8_t*>(frame.body.data()), len);
  return frame;
}

void DrainTasks() {
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  Runtime::PostTask("drain", [done] { done->set_value(); });
  future.wait_for(std::chrono::seconds(5));
}

}  // namespace crcp::test
