#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <boost/asio.hpp>

namespace crcp::video {

// Thin wrapper over one Boost.Asio TCP socket of a media-packet connection. It never
// throws: every failure comes back as an error code. Except for `Write` and
// `Shutdown`, which the owner may call from another thread, it is used on the
// thread that runs its I/O context.
class TcpSocket {
 public:
  using ConnectHandler = std::function<void(const boost::system::error_code&)>;
  using TransferHandler = std::function<void(const boost::system::error_code&, size_t)>;

  TcpSocket(boost::asio::io_context& io, std::string log_tag);

  // Opens the socket for IPv4 and binds it to (local_address, 0).
  boost::system::error_code Bind(const std::string& local_address);
  // Asynchronous, so that cancelling it (the connect deadline) really ends it.
  void AsyncConnect(const boost::asio::ip::tcp::endpoint& peer, ConnectHandler handler);
  boost::system::error_code SetSendBufferSize(int bytes);
  // TCP_NOTSENT_LOWAT: writable only while fewer than `bytes` wait unsent.
  boost::system::error_code SetUnsentLimit(int bytes);

  // Synchronous write of all bytes; a failure is logged "socket write fail , {}".
  boost::system::error_code Write(const std::vector<uint8_t>& bytes);
  // Reads exactly `size` bytes into `data`.
  void AsyncRead(uint8_t* data, size_t size, TransferHandler handler);
  // Writes all of `bytes`, which must stay alive until the handler runs.
  void AsyncWrite(const std::vector<uint8_t>& bytes, TransferHandler handler);

  // Cancels the pending asynchronous operations. Not open: bad_descriptor.
  boost::system::error_code Cancel();
  // Shuts both directions down (wakes a blocked synchronous write); errors ignored.
  void Shutdown();
  void Close();

  std::string RemoteAddress() const;
  bool IsOpen() const;

 private:
  const std::string log_tag_;
  boost::asio::ip::tcp::socket socket_;
};

}  // namespace crcp::video
