#include "services/remote_input/input_data_receiver.h"

#include <array>
#include <atomic>
#include <exception>
#include <future>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <asio/post.hpp>

#include "platform/socket_errors.h"
#include "services/remote_input/input_event_codec.h"
#include "utils/log_limit.h"
#include "utils/logger.h"

namespace crcp::ril {

namespace {
const char* const kLogTag = "REMOTE_INPUT::data_receiver";

constexpr size_t kReceiveBufferSize = 1500;
// Transient errors in a row after which the loop gives up instead of spinning.
constexpr int kMaxConsecutiveErrors = 100;

bool IsTransientReceiveError(const std::error_code& ec) {
  return ec == asio::error::message_size || ec == asio::error::connection_refused ||
         ec == asio::error::connection_reset || ec == asio::error::network_unreachable ||
         ec == asio::error::host_unreachable || ec == asio::error::network_down ||
         ec == asio::error::no_buffer_space || ec == asio::error::no_memory ||
         ec == asio::error::interrupted || ec == asio::error::try_again ||
         ec == asio::error::would_block;
}

bool ParseIpv4(const std::string& text, asio::ip::address_v4& out) {
  std::error_code ec;
  asio::ip::address address = asio::ip::make_address(text, ec);
  if (ec) return false;
  if (address.is_v6()) {
    if (!address.to_v6().is_v4_mapped()) return false;
    out = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    return true;
  }
  out = address.to_v4();
  return true;
}
}  // namespace

// Every use of the socket after construction runs on the I/O thread (Listen hands its
// work over and waits), so the socket needs no lock. The I/O thread is joined before
// the Impl goes away, so no completion handler can outlive it.
class InputDataReceiver::Impl {
 public:
  Impl(Callback callback, std::string bind_address)
      : callback_(std::move(callback)),
        bind_address_(std::move(bind_address)),
        guard_(asio::make_work_guard(io_)),
        socket_(std::make_unique<asio::ip::udp::socket>(io_)) {
    std::error_code ec;
    socket_->open(asio::ip::udp::v4(), ec);
    if (ec) throw std::system_error(ec, "open");
    thread_ = std::thread([this] { Run(); });
  }

  ~Impl() {
    Stop();
    guard_.reset();
    if (thread_.joinable()) thread_.join();
    std::error_code ec;
    if (socket_ && socket_->is_open()) socket_->close(ec);
  }

  bool Listen(uint32_t range) {
    if (io_.get_executor().running_in_this_thread()) return DoListen(range);
    auto task = std::make_shared<std::packaged_task<bool()>>([this, range] { return DoListen(range); });
    std::future<bool> result = task->get_future();
    asio::post(io_, [task] { (*task)(); });
    return result.get();
  }

  uint16_t GetPort() const { return port_.load(); }

  void Stop() {
    asio::post(io_, [this] {
      LOG_INFO("Date receiver disconnect");
      stopped_ = true;
      if (!socket_) return;
      std::error_code ec;
      if (socket_->is_open()) {
        socket_->shutdown(asio::socket_base::shutdown_both, ec);
        socket_->cancel(ec);
        socket_->close(ec);
      }
      // The aborted receive still refers to the socket object; it is dropped only
      // once that completion has run.
      asio::post(io_, [this] { socket_.reset(); });
    });
  }

  bool AllowPeer(const std::string& text) {
    asio::ip::address_v4 address;
    if (!ParseIpv4(text, address)) {
      LOG_ERROR("Cannot allow peer {}, not an IPv4 address", text);
      return false;
    }
    std::lock_guard<std::mutex> lock(peers_mutex_);
    ++allowed_peers_[address.to_uint()];
    return true;
  }

  void DisallowPeer(const std::string& text) {
    asio::ip::address_v4 address;
    if (!ParseIpv4(text, address)) return;
    std::lock_guard<std::mutex> lock(peers_mutex_);
    auto it = allowed_peers_.find(address.to_uint());
    if (it != allowed_peers_.end() && --it->second <= 0) allowed_peers_.erase(it);
  }

 private:
  void Run() {
    // No exception may leave the thread: log it and keep serving until released.
    for (;;) {
      try {
        io_.run();
        return;
      } catch (const std::exception& e) {
        LOG_ERROR("Exception on data receiver thread: {}", e.what());
      } catch (...) {
        LOG_ERROR("Unknown exception on data receiver thread");
      }
    }
  }

  bool DoListen(uint32_t range) {
    const uint16_t first = static_cast<uint16_t>(range & 0xFFFF);
    const uint16_t last = static_cast<uint16_t>(range >> 16);
    if (stopped_ || !socket_ || !socket_->is_open()) {
      LOG_ERROR("Fail to listen, the receiver is stopped");
      return false;
    }
    asio::ip::address_v4 bind_to = asio::ip::address_v4::any();
    if (!bind_address_.empty() && !ParseIpv4(bind_address_, bind_to)) {
      LOG_ERROR("Fail to listen, bad bind address {}", bind_address_);
      return false;
    }
    for (uint32_t p = first; p <= last; ++p) {
      std::error_code ec;
      socket_->bind(asio::ip::udp::endpoint(bind_to, static_cast<uint16_t>(p)), ec);
      if (ec) {
        LOG_WARN("Fail to listen at {}: {}", p, ec.message());
        continue;
      }
      asio::ip::udp::endpoint local = socket_->local_endpoint(ec);
      if (ec) throw std::system_error(ec, "local_endpoint");
      port_.store(local.port());
      StartReceive();
      return true;
    }
    LOG_ERROR("Fail to listen, no available port to listen between {} and {}", first, last);
    return false;
  }

  void StartReceive() {
    socket_->async_receive_from(
        asio::buffer(buffer_), sender_,
        [this](const std::error_code& ec, size_t bytes) { OnRecv(ec, bytes); });
  }

  void OnRecv(const std::error_code& ec, size_t bytes) {
    if (ec) {
      if (platform::IsOperationAborted(ec) || stopped_) return;
      LOG_ERROR_LIMITED("fail to receive data, {}", ec.message());
      if (InputDataReceiver::IsFatalReceiveError(ec) || ++consecutive_errors_ >= kMaxConsecutiveErrors) {
        LOG_ERROR("Stop receiving input data after error {}", ec.message());
        return;
      }
      StartReceive();
      return;
    }
    consecutive_errors_ = 0;
    if (IsAllowed(sender_)) {
      if (Deserialize(buffer_.data(), bytes, events_)) Deliver();
    }
    if (!stopped_ && socket_ && socket_->is_open()) StartReceive();
  }

  bool IsAllowed(const asio::ip::udp::endpoint& sender) {
    asio::ip::address_v4 address;
    if (sender.address().is_v4()) {
      address = sender.address().to_v4();
    } else if (sender.address().to_v6().is_v4_mapped()) {
      address = asio::ip::make_address_v4(asio::ip::v4_mapped, sender.address().to_v6());
    } else {
      return false;
    }
    bool allowed;
    {
      std::lock_guard<std::mutex> lock(peers_mutex_);
      allowed = allowed_peers_.count(address.to_uint()) != 0;
    }
    if (allowed) return true;
    // Strangers may send as fast as they like, interleaved with the peer: the line is
    // bounded by time, not by who sent last.
    ++dropped_;
    LOG_WARN_LIMITED(
        "Drop input data from {}, not the address of an established session, "
        "{} dropped so far",
        sender.address().to_string(), dropped_);
    return false;
  }

  void Deliver() {
    try {
      if (callback_) callback_(events_);
    } catch (const std::exception& e) {
      LOG_ERROR("Exception while handling input data: {}", e.what());
    } catch (...) {
      LOG_ERROR("Unknown exception while handling input data");
    }
  }

  Callback callback_;
  const std::string bind_address_;
  std::array<uint8_t, kReceiveBufferSize> buffer_{};
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> guard_;
  std::unique_ptr<asio::ip::udp::socket> socket_;
  std::atomic<uint16_t> port_{0};
  asio::ip::udp::endpoint sender_;
  std::vector<InputEvent> events_;
  // Fields below the socket are touched only on the I/O thread, except the peers.
  bool stopped_ = false;
  int consecutive_errors_ = 0;
  uint64_t dropped_ = 0;  // datagrams from strangers
  std::mutex peers_mutex_;
  std::map<uint32_t, int> allowed_peers_;
  std::thread thread_;
};

bool InputDataReceiver::IsFatalReceiveError(const std::error_code& ec) {
  return !IsTransientReceiveError(ec);
}

InputDataReceiver::InputDataReceiver(Callback callback, std::string bind_address)
    : impl_(std::make_unique<Impl>(std::move(callback), std::move(bind_address))) {}

InputDataReceiver::~InputDataReceiver() = default;

bool InputDataReceiver::Listen(uint32_t range) { return impl_->Listen(range); }
uint16_t InputDataReceiver::GetPort() const { return impl_->GetPort(); }
void InputDataReceiver::Stop() { impl_->Stop(); }
bool InputDataReceiver::AllowPeer(const std::string& address) { return impl_->AllowPeer(address); }
void InputDataReceiver::DisallowPeer(const std::string& address) { impl_->DisallowPeer(address); }

}  // namespace crcp::ril
