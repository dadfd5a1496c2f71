#pragma once

#include <cstddef>
#include <cstdint>

// The receiver's end of the TCP links the fuzz targets drive: one listening socket on
// 127.0.0.3 for the whole run, an accepted socket per input. The address is one no test
// uses, so that what the client sends to "the receiver's" ports (heart beats to a port
// the input chose) reaches nobody else. Every connection ends in a reset (SO_LINGER 0),
// which leaves no socket in TIME_WAIT on either side: a fuzzer runs tens of thousands
// of inputs a minute and must not use up the loopback ports everything else binds.
//
// Plain descriptors, so that both the standalone and the Boost flavour of asio can
// include this (the two cannot share a translation unit).
namespace fuzz {

class LoopbackPeer {
 public:
  static constexpr const char* kAddress = "127.0.0.3";

  static LoopbackPeer& Instance();

  uint16_t Port() const { return port_; }
  // The next connection a client under test opened to Port(); aborts when there is
  // none within a few seconds.
  int Accept();
  // Writes everything (errors ignored: the client may have hung up already).
  static void Write(int socket, const uint8_t* data, size_t size);
  // Closes with a reset: the client reads what was sent, then sees the link fail.
  static void Reset(int socket);

 private:
  LoopbackPeer();

  int listener_ = -1;
  uint16_t port_ = 0;
};

}  // namespace fuzz
