#include "services/media_link/connection.h"

#include <exception>
#include <new>
#include <utility>

#include "utils/logger.h"

namespace crcp::video {

using boost::asio::ip::tcp;
using boost::system::error_code;

namespace {
// Beyond the deadline the connect completion always arrives at once (the deadline
// cancels the socket); the caller's own wait is only a guard against a stuck worker.
constexpr std::chrono::milliseconds kConnectWaitGrace{2000};
}  // namespace

Connection::Connection(ConnectionOptions options)
    : options_(std::move(options)),
      header_buffer_(kVideoPacketHeaderSize),
      current_packet_(MakeEmptyVideoPacket()),
      work_(boost::asio::make_work_guard(io_)),
      deadline_(io_),
      socket_(std::make_shared<TcpSocket>(io_, options_.socket_log_tag)) {
  worker_ = std::async(std::launch::async, [this] { RunWorker(); });
}

Connection::~Connection() { Disconnect(); }

void Connection::RunWorker() {
  const std::string& kLogTag = options_.log_tag;
  for (;;) {
    try {
      io_.run();
      return;
    } catch (const std::exception& e) {
      LOG_ERROR("connection worker caught: {}", e.what());
    } catch (...) {
      LOG_ERROR("connection worker caught an unknown exception");
    }
  }
}

int Connection::Connect(const std::string& address, uint16_t port) {
  if (closed_) return boost::asio::error::operation_aborted;
  if (connected_) return boost::asio::error::already_connected;

  error_code ec;
  const auto ip = boost::asio::ip::make_address(address, ec);
  if (ec) {
    const std::string& kLogTag = options_.socket_log_tag;
    if (options_.log_connect_errors) LOG_ERROR("connect error , ec message is {}", ec.message());
    return ec.value();
  }
  {
    std::lock_guard<std::mutex> lock(peer_mutex_);
    peer_address_ = address;
  }

  // The promise is shared with the handlers: should they be destroyed unrun (the
  // connection torn down meanwhile), the wait below ends with a broken promise.
  auto done = std::make_shared<ConnectPromise>();
  auto result = done->get_future();
  const tcp::endpoint peer(ip, port);
  boost::asio::post(io_, [this, peer, address, done] { StartConnect(peer, address, done); });

  if (result.wait_for(options_.connect_timeout + kConnectWaitGrace) != std::future_status::ready)
    return boost::asio::error::timed_out;
  try {
    ec = result.get();
  } catch (const std::future_error&) {
    ec = boost::asio::error::operation_aborted;
  }
  return ec ? ec.value() : 0;
}

void Connection::StartConnect(const tcp::endpoint& peer, const std::string& address,
                              std::shared_ptr<ConnectPromise> done) {
  if (closed_) {
    done->set_value(boost::asio::error::operation_aborted);
    return;
  }
  if (!options_.bind_address.empty()) {
    const error_code ec = socket_->Bind(options_.bind_address);
    if (ec) {
      const std::string& kLogTag = options_.socket_log_tag;
      LOG_ERROR("bind to {} failed: {}", options_.bind_address, ec.message());
      socket_->Close();
      done->set_value(ec);
      return;
    }
  }

  auto deadline_hit = std::make_shared<bool>(false);  // worker thread only
  const uint16_t port = peer.port();
  deadline_.expires_after(options_.connect_timeout);
  deadline_.async_wait([this, deadline_hit, address, port](const error_code& ec) {
    if (ec == boost::asio::error::operation_aborted) return;
    const std::string& kLogTag = options_.log_tag;
    LOG_ERROR("{} {}:{} time out", options_.timeout_log_prefix, address, port);
    *deadline_hit = true;
    socket_->Cancel();
  });

  socket_->AsyncConnect(peer, [this, deadline_hit, done](error_code ec) {
    deadline_.cancel();
    if (*deadline_hit && ec == boost::asio::error::operation_aborted)
      ec = boost::asio::error::timed_out;
    if (!ec && closed_) ec = boost::asio::error::operation_aborted;
    if (ec) {
      const std::string& kLogTag = options_.socket_log_tag;
      if (options_.log_connect_errors) LOG_ERROR("connect error , ec message is {}", ec.message());
      socket_->Close();  // a later Connect starts from a fresh socket
      done->set_value(ec);
      return;
    }
    if (options_.send_buffer_size > 0) {
      const error_code opt_ec = socket_->SetSendBufferSize(options_.send_buffer_size);
      if (opt_ec) {
        const std::string& kLogTag = options_.socket_log_tag;
        LOG_WARN("set send buffer size failed: {}", opt_ec.message());
      }
    }
    if (options_.unsent_limit > 0) {
      const error_code opt_ec = socket_->SetUnsentLimit(options_.unsent_limit);
      if (opt_ec) {
        const std::string& kLogTag = options_.socket_log_tag;
        LOG_WARN("set unsent limit failed: {}", opt_ec.message());
      }
    }
    const std::string remote = socket_->RemoteAddress();
    if (!remote.empty()) {
      std::lock_guard<std::mutex> lock(peer_mutex_);
      peer_address_ = remote;
    }
    connected_ = true;
    StartReadHeader();
    done->set_value(error_code());
  });
}

void Connection::StartReadHeader() {
  socket_->AsyncRead(header_buffer_.data(), header_buffer_.size(),
                     [this](const error_code& ec, size_t size) { OnReadHeaderDone(ec, size); });
}

void Connection::OnReadHeaderDone(const error_code& ec, size_t size) {
  const std::string& kLogTag = options_.log_tag;
  if (closed_) return;
  if (ec) {
    LOG_ERROR("Fail to receive header, message: [{}]", ec.message());
    NotifyError();
    return;
  }
  auto packet = MakeEmptyVideoPacket();
  if (!ParseVideoPacketHeader(header_buffer_.data(), size, packet.get())) {
    LOG_ERROR("Receive Error Pakcet Header!! {} {}", packet->length, packet->stamp);
    NotifyError();
    return;
  }
  if (packet->length == 0) {
    Deliver(std::move(packet));
    StartReadHeader();
    return;
  }
  // The length comes from the wire: it is bounded before anything is allocated, and
  // an oversized one ends the link visibly rather than leaving it silently dead.
  if (packet->length > options_.max_body_length) {
    LOG_ERROR("packet length too large , size :{}", packet->length);
    NotifyError();
    return;
  }
  try {
    packet->payload.resize(packet->length);
  } catch (const std::bad_alloc&) {
    LOG_ERROR("alloc fail!!");
    NotifyError();
    return;
  }
  current_packet_ = std::move(packet);
  socket_->AsyncRead(current_packet_->payload.data(), current_packet_->payload.size(),
                     [this](const error_code& read_ec, size_t read_size) {
                       OnReadBodyDone(read_ec, read_size);
                     });
}

void Connection::OnReadBodyDone(const error_code& ec, size_t size) {
  const std::string& kLogTag = options_.log_tag;
  if (closed_) return;
  if (ec) {
    LOG_ERROR("Fail to receive data, message: [{}]", ec.message());
    NotifyError();
    return;
  }
  auto packet = std::move(current_packet_);
  current_packet_ = MakeEmptyVideoPacket();
  if (size != packet->length || !packet->IsComplete()) {
    LOG_ERROR("receive illegal packet ! header size: {}, packet size:{}", packet->length, size);
    NotifyError();
    return;
  }
  Deliver(std::move(packet));
  StartReadHeader();
}

void Connection::Deliver(std::shared_ptr<VideoPacket> packet) {
  auto listener = CurrentListener();
  if (!listener) return;
  try {
    listener->OnPacket(std::move(packet));
  } catch (const std::exception& e) {
    const std::string& kLogTag = options_.log_tag;
    LOG_ERROR("listener OnPacket threw: {}", e.what());
  }
}

void Connection::NotifyError() {
  auto listener = CurrentListener();
  if (!listener) return;
  try {
    listener->OnError();
  } catch (const std::exception& e) {
    const std::string& kLogTag = options_.log_tag;
    LOG_ERROR("listener OnError threw: {}", e.what());
  }
}

bool Connection::Send(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return false;
  std::lock_guard<std::mutex> lock(send_mutex_);
  if (closed_ || !socket_->IsOpen()) {
    const std::string& kLogTag = options_.socket_log_tag;
    LOG_ERROR("socket write fail , {}", "socket is not open");
    return false;
  }
  return !socket_->Write(bytes);
}

void Connection::AsyncSend(std::vector<uint8_t> bytes, WriteHandler handler) {
  // Started on the worker, where every other asynchronous operation of the socket runs.
  boost::asio::post(io_, [this, bytes = std::move(bytes), handler = std::move(handler)]() mutable {
    if (closed_ || !socket_->IsOpen()) {
      if (handler) handler(boost::asio::error::operation_aborted, 0);
      return;
    }
    write_buffer_ = std::move(bytes);
    socket_->AsyncWrite(write_buffer_, [handler](const error_code& ec, size_t size) {
      if (handler) handler(ec, size);
    });
  });
}

void Connection::SetListener(std::shared_ptr<Listener> listener) {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  listener_ = std::move(listener);
}

std::shared_ptr<Connection::Listener> Connection::CurrentListener() const {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  return listener_;
}

std::string Connection::PeerAddress() const {
  std::lock_guard<std::mutex> lock(peer_mutex_);
  return peer_address_;
}

void Connection::Disconnect() {
  {
    std::lock_guard<std::mutex> lock(teardown_mutex_);
    if (torn_down_) return;
    torn_down_ = true;
  }
  const std::string& kLogTag = options_.log_tag;
  closed_ = true;
  connected_ = false;
  if (options_.log_teardown) LOG_INFO("socket close");

  // Cancel and shut down on the worker, where the socket's asynchronous operations
  // live; the shutdown also wakes a synchronous Send blocked on another thread.
  boost::asio::post(io_, [this] {
    deadline_.cancel();
    socket_->Cancel();
    socket_->Shutdown();
  });
  work_.reset();
  if (worker_.valid()) worker_.wait();
  io_.stop();
  {
    // No Send is writing any more once the socket is shut down; take its lock so the
    // close cannot race a writer that is just leaving.
    std::lock_guard<std::mutex> lock(send_mutex_);
    socket_->Close();
  }
  if (options_.log_teardown) LOG_INFO("Connection thread get");

  auto listener = CurrentListener();
  if (listener) {
    try {
      listener->OnDisconnect();
    } catch (const std::exception& e) {
      LOG_ERROR("listener OnDisconnect threw: {}", e.what());
    }
  }
}

}  // namespace crcp::video
