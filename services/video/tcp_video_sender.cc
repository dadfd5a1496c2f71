#include "services/video/tcp_video_sender.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "utils/logger.h"

namespace crcp::video {
namespace {

const char* const kLogTag = "MirrorVideo::TCPVideoSender";

// The data connection reads and drops whatever the receiver sends on it.
class DataListener : public Connection::Listener {
 public:
  void OnPacket(std::shared_ptr<VideoPacket>) override {}
  void OnError() override { LOG_INFO("data connection read error"); }
  void OnDisconnect() override {}
};

}  // namespace

class TCPVideoSender::TCPVideoSenderImpl {
 public:
  explicit TCPVideoSenderImpl(std::shared_ptr<VideoProvider> provider)
      : provider_(std::move(provider)), connection_(std::make_shared<Connection>(VideoDataConnectionOptions())) {
    connection_->SetListener(std::make_shared<DataListener>());
  }

  ~TCPVideoSenderImpl() {
    Stop();
    JoinSender();
    connection_->Disconnect();
  }

  int Connect(const std::string& address, uint16_t port) { return connection_->Connect(address, port); }

  void StartSender() {
    std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
    if (running_) return;
    LOG_INFO("Video Data StartSender");
    JoinSender();  // a loop that ended by itself (a write error)
    running_ = true;
    provider_->Start();
    sender_ = std::thread([this] { SendLoop(); });
  }

  void Stop() {
    std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
    LOG_INFO("Video Data StopSender");
    StopLocked();
    JoinSender();
  }

  bool IsRunning() const { return running_; }

  void SetErrorCallback(ErrorCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    error_callback_ = std::move(callback);
  }

 private:
  void StopLocked() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!running_.exchange(false)) return;
    }
    write_done_.notify_all();
    // Releases a loop waiting for a packet.
    provider_->Stop();
  }

  void JoinSender() {
    if (sender_.joinable() && sender_.get_id() != std::this_thread::get_id()) sender_.join();
  }

  // One write outstanding at a time; the next packet is taken once it completed. A
  // write still outstanding when the loop ends (a stalled receiver) is waited for by
  // the next loop before it writes, never by the stop.
  void SendLoop() {
    try {
      std::vector<uint8_t> packet;
      while (running_) {
        if (!provider_->OfferPacket(packet)) break;
        std::unique_lock<std::mutex> lock(mutex_);
        write_done_.wait(lock, [this] { return !write_pending_ || !running_; });
        if (!running_) break;
        write_pending_ = true;
        lock.unlock();
        // The completion reaches only the write state: it must never be the last
        // owner of the sender (whose destruction joins the worker it runs on).
        connection_->AsyncSend(std::move(packet), [write = write_](
                                                       const boost::system::error_code& ec, size_t) {
          OnSendPakcet(*write, ec);
        });
        packet = std::vector<uint8_t>();
        lock.lock();
        write_done_.wait(lock, [this] { return !write_pending_ || !running_; });
        if (write_error_) {
          const int error = write_error_;
          write_error_ = 0;
          ErrorCallback callback = error_callback_;
          lock.unlock();
          LOG_ERROR("fail to send video data!!, error code : {}", error);
          // A broken socket takes no more writes: stop and tell the session. (Not
          // under the lifecycle lock: a Stop holding it may be joining this loop.)
          StopLocked();
          if (callback) callback(error);
          break;
        }
      }
    } catch (const std::exception& e) {
      LOG_ERROR("send loop ended by exception: {}", e.what());
    }
  }

  struct WriteState {
    std::mutex mutex;
    std::condition_variable done;
    bool pending = false;
    int error = 0;
  };

  // Completion on the data connection's worker.
  static void OnSendPakcet(WriteState& write, const boost::system::error_code& ec) {
    {
      std::lock_guard<std::mutex> lock(write.mutex);
      write.pending = false;
      if (ec) write.error = ec.value();
    }
    write.done.notify_all();
  }

  std::mutex lifecycle_mutex_;  // StartSender and Stop
  const std::shared_ptr<WriteState> write_ = std::make_shared<WriteState>();
  std::mutex& mutex_ = write_->mutex;
  std::condition_variable& write_done_ = write_->done;
  bool& write_pending_ = write_->pending;
  int& write_error_ = write_->error;
  ErrorCallback error_callback_;
  std::atomic<bool> running_{false};
  std::shared_ptr<VideoProvider> provider_;
  std::shared_ptr<Connection> connection_;
  std::thread sender_;
};

TCPVideoSender::TCPVideoSender(std::shared_ptr<VideoProvider> provider)
    : impl_(std::make_shared<TCPVideoSenderImpl>(std::move(provider))) {}
TCPVideoSender::~TCPVideoSender() = default;
int TCPVideoSender::Connect(const std::string& address, uint16_t port) {
  return impl_->Connect(address, port);
}
void TCPVideoSender::StartSender() { impl_->StartSender(); }
void TCPVideoSender::Stop() { impl_->Stop(); }
bool TCPVideoSender::IsRunning() const { return impl_->IsRunning(); }
void TCPVideoSender::SetErrorCallback(ErrorCallback callback) {
  impl_->SetErrorCallback(std::move(callback));
}

}  // namespace crcp::video
