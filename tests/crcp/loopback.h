#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

namespace crcp {
class TcpSocket;
}

namespace crcp::test {

// A blocking peer socket on a test-owned context, paired with a crcp::TcpSocket on
// the runtime's I/O context, both on 127.0.0.1.
struct SocketPair {
  std::unique_ptr<asio::io_context> peer_context;
  std::unique_ptr<asio::ip::tcp::socket> peer;
  std::shared_ptr<TcpSocket> ours;
};
SocketPair MakeSocketPair();

// Hand-framed packet bytes, written independently of the library's encoder.
std::vector<uint8_t> Frame(uint32_t seq, const std::string& body, uint32_t version = 5,
                           uint32_t invert = 0, bool custom_invert = false,
                           uint64_t timestamp = 1, std::optional<uint32_t> len = std::nullopt);

// Reads one framed message from the peer socket (bounded by a receive time-out):
// returns the header's sequence number and the body text.
struct ReadFrame {
  bool ok = false;
  uint32_t seq = 0;
  std::string body;
};
ReadFrame ReadOneFrame(asio::ip::tcp::socket& peer, int timeout_ms = 5000);
void SetReceiveTimeout(asio::ip::tcp::socket& socket, int timeout_ms);
// Reads exactly n bytes, bounded by the socket's receive time-out.
bool RecvAll(asio::ip::tcp::socket& peer, uint8_t* out, size_t n);

// A thread-safe queue that tests wait on, always bounded.
template <typename T>
class Inbox {
 public:
  void Push(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(value));
    cv_.notify_all();
  }
  std::optional<T> Pop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [&] { return !items_.empty(); })) return std::nullopt;
    T value = std::move(items_.front());
    items_.pop_front();
    return value;
  }
  size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<T> items_;
};

// Waits until every task queued before it has run.
void DrainTasks();

}  // namespace crcp::test
