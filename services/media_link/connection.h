#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio.hpp>

#include "services/media_link/connection_options.h"
#include "services/media_link/tcp_socket.h"
#include "services/media_link/video_packet.h"

namespace crcp::video {

// One TCP connection to the receiver that carries media packets: the video command
// and data connections, and (with its own options) the audio command connection.
// It owns an I/O context and the worker thread that runs it; after connecting it
// reads packets continuously and hands each complete one to the listener.
//
// Every completion handler captures `this`: the destructor stops and joins the
// worker before any member goes, so no handler can outlive the connection.
class Connection {
 public:
  // Called on the connection's worker thread.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnPacket(std::shared_ptr<VideoPacket> packet) = 0;
    // A read failed, or a received header or body was illegal. Reported once: the
    // connection reads nothing more afterwards.
    virtual void OnError() = 0;
    // The connection was torn down.
    virtual void OnDisconnect() = 0;
  };

  using WriteHandler = std::function<void(const boost::system::error_code&, size_t)>;

  explicit Connection(ConnectionOptions options = ConnectionOptions());
  ~Connection();

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects within the options' deadline (3 s by default) and starts reading.
  // Returns 0, or the socket error's value (timed_out when the deadline ended it).
  // Runs on the caller's thread, never on the connection's own worker.
  int Connect(const std::string& address, uint16_t port);

  // Synchronous write of the whole buffer on the caller's thread. Sends from
  // several threads are serialised so that packets never interleave on the wire.
  // A failure is logged by the socket; false when nothing or not all was written.
  bool Send(const std::vector<uint8_t>& bytes);

  // Starts one asynchronous write of all bytes; `handler` runs on the worker thread.
  // Only one may be outstanding: the caller starts the next from the completion.
  // After tear-down the handler is not called.
  void AsyncSend(std::vector<uint8_t> bytes, WriteHandler handler);

  void SetListener(std::shared_ptr<Listener> listener);
  bool IsConnected() const { return connected_; }

  // The peer's address: as given to Connect, then the socket's remote address.
  std::string PeerAddress() const;

  // Tear-down: stops reading, closes the socket, joins the worker and then calls the
  // listener's OnDisconnect. The destructor runs it; a second call does nothing.
  // Never from a listener call: that runs on the worker this joins.
  void Disconnect();

  const ConnectionOptions& options() const { return options_; }

 private:
  using ConnectPromise = std::promise<boost::system::error_code>;

  void RunWorker();
  void StartConnect(const boost::asio::ip::tcp::endpoint& peer, const std::string& address,
                    std::shared_ptr<ConnectPromise> done);
  void StartReadHeader();
  void OnReadHeaderDone(const boost::system::error_code& ec, size_t size);
  void OnReadBodyDone(const boost::system::error_code& ec, size_t size);
  void Deliver(std::shared_ptr<VideoPacket> packet);
  void NotifyError();
  std::shared_ptr<Listener> CurrentListener() const;

  const ConnectionOptions options_;
  std::atomic<bool> closed_{false};
  std::atomic<bool> connected_{false};

  mutable std::mutex peer_mutex_;
  std::string peer_address_;

  // Worker-thread state: the one outstanding asynchronous write, the header being
  // read and the packet whose body is being read.
  std::vector<uint8_t> write_buffer_;
  std::vector<uint8_t> header_buffer_;
  std::shared_ptr<VideoPacket> current_packet_;

  mutable std::mutex listener_mutex_;
  std::shared_ptr<Listener> listener_;

  std::mutex send_mutex_;
  std::mutex teardown_mutex_;
  bool torn_down_ = false;

  boost::asio::io_context io_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  boost::asio::steady_timer deadline_;
  std::shared_ptr<TcpSocket> socket_;
  std::future<void> worker_;
};

}  // namespace crcp::video
