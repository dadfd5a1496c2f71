#include "tests/services/media_link/loopback_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "services/media_link/video_packet.h"

namespace crcp::video::testing {

LoopbackPeer::LoopbackPeer(int backlog) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  ::listen(listen_fd_, backlog);
  socklen_t len = sizeof(addr);
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
}

LoopbackPeer::~LoopbackPeer() {
  CloseConnection();
  for (int fd : fillers_) ::close(fd);
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

bool LoopbackPeer::Accept(int timeout_ms) {
  pollfd p{listen_fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) != 1) return false;
  conn_fd_ = ::accept(listen_fd_, nullptr, nullptr);
  return conn_fd_ >= 0;
}

void LoopbackPeer::FillBacklog() {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port_);
  // Linux drops the SYN of a connect once the accept queue is full; each filler that
  // does not complete at once shows that the queue is full.
  for (int i = 0; i < 16; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    fillers_.push_back(fd);
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0) break;
  }
}

bool LoopbackPeer::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(conn_fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool LoopbackPeer::WritePacket(uint32_t type, const std::string& body, uint64_t stamp) {
  return Write(SerializeVideoPacket(type, stamp, reinterpret_cast<const uint8_t*>(body.data()),
                                    body.size()));
}

std::optional<std::vector<uint8_t>> LoopbackPeer::Read(size_t size, int timeout_ms) {
  std::vector<uint8_t> out(size);
  size_t done = 0;
  while (done < size) {
    pollfd p{conn_fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) != 1) return std::nullopt;
    const ssize_t n = ::recv(conn_fd_, out.data() + done, size - done, 0);
    if (n <= 0) return std::nullopt;
    done += static_cast<size_t>(n);
  }
  return out;
}

std::optional<LoopbackPeer::Packet> LoopbackPeer::ReadPacket(int timeout_ms) {
  const auto header = Read(kVideoPacketHeaderSize, timeout_ms);
  if (!header) return std::nullopt;
  VideoPacket parsed;
  ParseVideoPacketHeader(header->data(), header->size(), &parsed);
  Packet packet;
  packet.type = parsed.type;
  packet.stamp = parsed.stamp;
  if (parsed.length > 0) {
    const auto body = Read(parsed.length, timeout_ms);
    if (!body) return std::nullopt;
    packet.body.assign(body->begin(), body->end());
  }
  return packet;
}

bool LoopbackPeer::NothingPending(int timeout_ms) {
  pollfd p{conn_fd_, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) == 0;
}

void LoopbackPeer::CloseConnection() {
  if (conn_fd_ >= 0) ::close(conn_fd_);
  conn_fd_ = -1;
}

}  // namespace crcp::video::testing
