#include "fuzz/loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace fuzz {

LoopbackPeer& LoopbackPeer::Instance() {
  static LoopbackPeer* peer = new LoopbackPeer();  // lives as long as the process
  return *peer;
}

LoopbackPeer::LoopbackPeer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  ::inet_pton(AF_INET, kAddress, &address.sin_addr);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    std::abort();
  port_ = ntohs(address.sin_port);
}

int LoopbackPeer::Accept() {
  pollfd wait{listener_, POLLIN, 0};
  if (::poll(&wait, 1, 5000) != 1) std::abort();
  const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (socket < 0) std::abort();
  const linger reset{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  return socket;
}

void LoopbackPeer::Write(int socket, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void LoopbackPeer::Reset(int socket) {
  const linger reset{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(socket);
}

}  // namespace fuzz
