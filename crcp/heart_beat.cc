#include "crcp/heart_beat.h"

#include <exception>

#include <asio/ip/address.hpp>
#include <asio/post.hpp>

#include "crcp/config.h"
#include "crcp/heart_beat_packet.h"
#include "crcp/runtime.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp {
namespace {
const char* const kLogTag = "CRCP::HeartBeat";
}

HeartBeat::HeartBeat() : receive_buffer_(1024, 0) {
  socket_.Open();
  Listen();
}

HeartBeat::~HeartBeat() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  lose_handler_ = nullptr;
  if (send_timer_ != 0) Runtime::CancelTimer(send_timer_);
  if (keep_alive_timer_ != 0) Runtime::CancelTimer(keep_alive_timer_);
  socket_.Close();
}

void HeartBeat::Listen() {
  auto [first, last] = Config::Instance().GetPorts();
  std::error_code ec = socket_.BindInRange(Config::Instance().GetBindAddress(), first, last);
  if (ec) throw std::system_error(ec, "no heart-beat port free in the range");
  local_port_ = socket_.LocalPort();
  LOG_INFO("Heart beat listen at {}", local_port_);
}

uint16_t HeartBeat::GetPort() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return local_port_;
}

void HeartBeat::SetPeer(const std::string& address, uint16_t port) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  peer_address_ = address;
  peer_port_ = port;
}

void HeartBeat::SetLoseHandler(std::function<void()> handler) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  lose_handler_ = std::move(handler);
}

void HeartBeat::Beat() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (peer_port_ == 0) return;
  LOG_TRACE("Start send heart beat to {}:{}", peer_address_, peer_port_);
  Receive();
  StartHeartBeatTimer();
}

void HeartBeat::StartHeartBeatTimer() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!lose_handler_) {
    LOG_WARN("LoseHandler is nullptr, already closed");
    return;
  }
  try {
    if (send_timer_ != 0) Runtime::CancelTimer(send_timer_);
    std::weak_ptr<HeartBeat> weak = weak_from_this();
    uint64_t generation = ++send_generation_;
    send_timer_ = Runtime::AddTimer(kSendIntervalMs, "Send Heart beat", [weak, generation] {
      if (auto self = weak.lock()) self->Send(generation);
    });
  } catch (const std::exception& e) {
    LOG_ERROR("Catch a exception when start heart beat timer, {}", e.what());
  }
}

void HeartBeat::Send(uint64_t generation) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (generation != send_generation_ || !lose_handler_) return;
    try {
      uint32_t seq = send_counter_++;
      send_buffer_ = HeartBeatPacket::Serialize(HeartBeatPacket(seq));
      std::error_code ec = socket_.SendTo(send_buffer_, peer_address_, peer_port_);
      if (ec) {
        LOG_ERROR("fail to send heart beat to {}:{}, ec: {}, msg: {}", peer_address_, peer_port_,
                  ec.value(), ec.message());
      } else if (seq % 100 == 0) {
        LOG_INFO("[{}:{}] Send No.{} heart beat", peer_address_, peer_port_, seq);
      }
    } catch (const std::exception& e) {
      LOG_ERROR("Catch a exception when send heart beat to {}:{}, {}", peer_address_, peer_port_,
                e.what());
    }
  }
  StartHeartBeatTimer();
}

void HeartBeat::Receive() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!lose_handler_) {
    LOG_WARN("LoseHandler is nullptr, already closed");
    return;
  }
  // One buffer, one receive outstanding.
  if (receiving_) return;
  try {
    std::weak_ptr<HeartBeat> weak = weak_from_this();
    // The sender is written by the completion before the handler runs; the handler
    // owns where it goes.
    auto from = std::make_shared<Sender>();
    socket_.AsyncReceiveFrom(receive_buffer_, from->address, from->port,
                             [weak, from](const std::error_code& ec, size_t size) {
                               if (auto self = weak.lock()) self->OnReceive(ec, size, *from);
                             });
    receiving_ = true;
  } catch (const std::exception& e) {
    LOG_ERROR("Catch a exception when receive heart beat, {}", e.what());
  }
}

bool HeartBeat::FromPeer(const std::string& address) const {
  // No peer address (not known yet): nothing to compare with.
  if (peer_address_.empty()) return true;
  std::error_code ec;
  auto peer = asio::ip::make_address(peer_address_, ec);
  if (ec) return peer_address_ == address;
  auto sender = asio::ip::make_address(address, ec);
  if (ec) return false;
  // An IPv4 peer may show up as its IPv4-mapped IPv6 form, and the other way round.
  auto plain = [](const asio::ip::address& a) -> asio::ip::address {
    if (a.is_v6() && a.to_v6().is_v4_mapped())
      return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6());
    return a;
  };
  return plain(peer) == plain(sender);
}

void HeartBeat::OnReceive(const std::error_code& error, size_t size, const Sender& from) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  receiving_ = false;
  if (error) {
    // A cancel by the keep-alive time-out or Close ends here; receiving resumes only
    // through Retry.
    LOG_ERROR("Error when OnReceive: code: {}, message: {}", error.value(), error.message());
    if (receive_after_abort_) {
      receive_after_abort_ = false;
      Receive();
    }
    return;
  }
  if (!lose_handler_) {
    LOG_WARN("LoseHandler is nullptr, already closed");
    return;
  }
  // Only the peer keeps the session alive: another host's datagrams, legal or not, are
  // counted and dropped before they are looked at.
  if (!FromPeer(from.address)) {
    ++stranger_beats_;
    LOG_WARN_LIMITED("Drop heart beat from {}:{}, the peer is {}, dropped {} so far", from.address,
                     from.port, peer_address_, stranger_beats_);
    Receive();
    return;
  }
  if (last_received_ == 0) {
    LOG_INFO_LIMITED("Heart beat is enabled, timeout: {}",
                     Config::Instance().GetHeartBeatTimeout());
  }
  HeartBeatPacket packet;
  if (HeartBeatPacket::Deserialize(receive_buffer_.data(), size, packet)) {
    const uint64_t seq = packet.seq_num;
    LOG_TRACE_LIMITED("[{}:{}] Receive No.{} heart beat", peer_address_, peer_port_, seq);
    if (rebase_ && seq != 0) {
      rebase_ = false;
      last_received_ = seq;
      StartKeepAliveTimer();
    } else if (seq <= last_received_) {
      LOG_ERROR_LIMITED(
          "[{}:{}] Heart beat packet seq No.({}) is not greater than recv seq No.({}), maybe "
          "receive bad data",
          peer_address_, peer_port_, seq, last_received_);
    } else if (seq - last_received_ > kMaxAdvance) {
      LOG_ERROR_LIMITED("Heart beat from No.{} to No.{} is more than 60s", seq, last_received_);
    } else {
      if (seq != last_received_ + 1) {
        LOG_ERROR_LIMITED("[{}:{}] Heart beat from No.{} to No.{} lost, count: {} ", peer_address_,
                          peer_port_, last_received_ + 1, seq - 1, seq - last_received_ - 1);
      }
      last_received_ = seq;
      if (seq < 10 || seq % 100 == 0)
        LOG_INFO("[{}:{}] Receive No.{} heart beat", peer_address_, peer_port_, seq);
      StartKeepAliveTimer();
    }
  }
  Receive();
}

void HeartBeat::StartKeepAliveTimer() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (keep_alive_timer_ != 0) Runtime::CancelTimer(keep_alive_timer_);
  std::weak_ptr<HeartBeat> weak = weak_from_this();
  uint64_t generation = ++keep_alive_generation_;
  int timeout = Config::Instance().GetHeartBeatTimeout();
  keep_alive_timer_ = Runtime::AddTimer(static_cast<unsigned>(timeout > 0 ? timeout : 0),
                                        "Heart beat timeout", [weak, generation] {
                                          if (auto self = weak.lock())
                                            self->OnKeepAliveTimeout(generation);
                                        });
}

void HeartBeat::OnKeepAliveTimeout(uint64_t generation) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!lose_handler_) {
    LOG_WARN("LoseHandler is nullptr, already closed");
    return;
  }
  if (generation != keep_alive_generation_) return;  // re-armed meanwhile
  LOG_ERROR("fail to receive heart beat from {}", peer_address_);
  socket_.Cancel();
  lose_handler_();
}

void HeartBeat::Retry() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!lose_handler_) {
    LOG_WARN("LoseHandler is nullptr, already closed");
    return;
  }
  StartKeepAliveTimer();
  std::weak_ptr<HeartBeat> weak = weak_from_this();
  asio::post(Runtime::GetIoContext(), [weak] {
    auto self = weak.lock();
    if (!self) return;
    std::lock_guard<std::recursive_mutex> guard(self->mutex_);
    LOG_INFO("Retry to receive heart beat");
    self->rebase_ = true;
    // The receive cancelled by the time-out may not have completed yet; start the
    // new one once it has.
    if (self->receiving_) {
      self->receive_after_abort_ = true;
    } else {
      self->Receive();
    }
  });
}

void HeartBeat::Close() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  LOG_INFO("Close heart beat to {}:{}", peer_address_, peer_port_);
  lose_handler_ = nullptr;
  if (keep_alive_timer_ != 0) Runtime::CancelTimer(keep_alive_timer_);
  if (send_timer_ != 0) Runtime::CancelTimer(send_timer_);
  keep_alive_timer_ = 0;
  send_timer_ = 0;
  if (socket_.IsOpen()) socket_.Close();
  LOG_INFO("Heart beat to {}:{} closed", peer_address_, peer_port_);
}

}  // namespace crcp
